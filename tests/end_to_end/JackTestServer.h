// A JACK server of the test's own (dummy backend: no sound card needed),
// under a name no other test uses, with JACK_DEFAULT_SERVER pointing every
// JACK client of this process at it; and a MIDI keyboard as a JACK client
// whose notes the test sends from its own thread.
#pragma once

#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <readerwriterqueue/readerwriterqueue.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <thread>

#include "platform/sdl/SdlTestSupport.h"

extern char** environ;

namespace tonefield::testing {

class JackTestServer {
 public:
  JackTestServer()
      : name_("tonefield-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++)),
        env_("JACK_DEFAULT_SERVER", name_) {
    Start();
  }
  ~JackTestServer() { Stop(); }

  // Starts the server under this test's name and waits until a client can
  // open; false (why() says) when it does not come up within 10 s.
  bool Start() {
    running_ = false;
    const std::string log = log_.str();
    std::array<std::string, 11> args = {"jackd", "--no-realtime", "--sync", "-n", name_, "-d", "dummy",
                                        "-r", "48000", "-p", "256"};
    std::array<char*, args.size() + 1> argv{};
    for (std::size_t i = 0; i < args.size(); ++i) argv[i] = args[i].data();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    if (posix_spawnp(&pid_, "jackd", &files, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&files);
    if (pid_ < 0) {
      why_ = "jackd cannot be started (is Debian's jackd2 installed?)";
      return false;
    }
    // libjack says on standard error each time the server is not up yet.
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
      jack_status_t status{};
      if (jack_client_t* probe = jack_client_open("tonefield-test-probe", JackNoStartServer, &status)) {
        jack_client_close(probe);
        running_ = true;
        return true;
      }
      int exitStatus = 0;
      if (::waitpid(pid_, &exitStatus, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::vector<std::uint8_t> text = ReadAll(log);
    why_ = "the JACK server did not start: " + std::string(text.begin(), text.end());
    return false;
  }
  // Ends the server with signal (SIGTERM, or SIGKILL for a crash) and waits for it.
  void Stop(int signal = SIGTERM) {
    if (pid_ > 0) {
      ::kill(pid_, signal);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    running_ = false;
  }
  JackTestServer(const JackTestServer&) = delete;
  JackTestServer& operator=(const JackTestServer&) = delete;

  bool running() const { return running_; }
  const std::string& why() const { return why_; }

 private:
  static inline int counter_ = 0;
  std::string name_;
  ScopedEnv env_;
  TempPath log_{"tonefield-jackd-log"};
  pid_t pid_ = -1;
  bool running_ = false;
  std::string why_;
};

// A JACK client with one MIDI output: Send queues a message that the next
// process cycle writes at the cycle's first frame.
class JackKeyboard {
 public:
  // physical: the port says it is a device's, as a MIDI interface's would.
  explicit JackKeyboard(const char* name = "tonefield-test-keyboard", bool physical = false) {
    jack_status_t status{};
    client_ = jack_client_open(name, JackNoStartServer, &status);
    if (client_ == nullptr) return;
    const unsigned long flags = JackPortIsOutput | (physical ? JackPortIsPhysical : 0);
    port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, flags, 0);
    jack_set_process_callback(client_, &JackKeyboard::Process, this);
    if (port_ == nullptr || jack_activate(client_) != 0) {
      jack_client_close(client_);
      client_ = nullptr;
    }
  }
  ~JackKeyboard() {
    if (client_ != nullptr) jack_client_close(client_);
  }
  JackKeyboard(const JackKeyboard&) = delete;
  JackKeyboard& operator=(const JackKeyboard&) = delete;

  bool ok() const { return client_ != nullptr; }
  bool ConnectTo(const std::string& port) {
    return client_ != nullptr && jack_connect(client_, jack_port_name(port_), port.c_str()) == 0;
  }
  bool Disconnect(const std::string& port) {
    return client_ != nullptr && jack_disconnect(client_, jack_port_name(port_), port.c_str()) == 0;
  }
  bool ConnectedTo(const std::string& port) const {
    return client_ != nullptr && jack_port_connected_to(port_, port.c_str()) != 0;
  }
  std::string Name() const { return client_ != nullptr ? jack_port_name(port_) : std::string(); }
  bool PortExists(const std::string& port) const {
    return client_ != nullptr && jack_port_by_name(client_, port.c_str()) != nullptr;
  }
  void Send(std::initializer_list<int> bytes) {
    Message message;
    for (int b : bytes) message.bytes[message.size++] = static_cast<std::uint8_t>(b);
    queue_.enqueue(message);
  }

 private:
  struct Message {
    std::array<std::uint8_t, 3> bytes{};
    std::size_t size = 0;
  };
  static int Process(jack_nframes_t frames, void* self) {
    auto* keyboard = static_cast<JackKeyboard*>(self);
    void* buffer = jack_port_get_buffer(keyboard->port_, frames);
    jack_midi_clear_buffer(buffer);
    Message message;
    while (keyboard->queue_.try_dequeue(message)) {
      jack_midi_event_write(buffer, 0, message.bytes.data(), message.size);
    }
    return 0;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  moodycamel::ReaderWriterQueue<Message> queue_{256};
};

}  // namespace tonefield::testing

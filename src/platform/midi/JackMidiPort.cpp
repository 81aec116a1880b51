#include "platform/midi/JackMidiPort.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <cerrno>
#include <span>

#include "common/SteadyClock.h"

namespace tonefield {

namespace {

// libjack prints why a server cannot be reached; Tonefield says it itself.
void QuietJack(const char*) {}

void SilenceJack() {
  jack_set_error_function(QuietJack);
  jack_set_info_function(QuietJack);
}

std::vector<std::string> TakeNames(const char** names) {
  std::vector<std::string> list;
  if (names == nullptr) return list;
  for (const char** name = names; *name != nullptr; ++name) list.emplace_back(*name);
  jack_free(static_cast<void*>(names));
  return list;
}

}  // namespace

bool JackMidiPort::ServerRuns(const char* clientName) {
  SilenceJack();
  jack_status_t status{};
  jack_client_t* client = jack_client_open(clientName, JackNoStartServer, &status);
  if (client == nullptr) return false;
  jack_client_close(client);
  return true;
}

std::string JackMidiPort::Open(const char* clientName, const char* portName) {
  Close();
  SilenceJack();
  jack_status_t status{};
  client_ = jack_client_open(clientName, JackNoStartServer, &status);
  if (client_ == nullptr) return "no JACK server is running";
  lost_ = false;
  port_ = jack_port_register(client_, portName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (port_ == nullptr) {
    Close();
    return "the JACK MIDI port cannot be opened (the server refused to register it)";
  }
  jack_set_process_callback(client_, &JackMidiPort::Process, this);
  jack_on_shutdown(client_, &JackMidiPort::Shutdown, this);
  jack_set_port_connect_callback(client_, &JackMidiPort::ConnectionChanged, this);
  if (jack_activate(client_) != 0) {
    Close();
    return "the JACK MIDI port cannot be opened (the client cannot be activated)";
  }
  return {};
}

void JackMidiPort::Close() {
  if (client_ == nullptr) return;
  // Waits for the process thread to leave; on a server that went away the
  // client only frees what it holds.
  if (!lost_) jack_deactivate(client_);
  jack_client_close(client_);
  client_ = nullptr;
  port_ = nullptr;
}

std::string JackMidiPort::Name() const { return port_ != nullptr ? jack_port_name(port_) : std::string(); }

std::vector<std::string> JackMidiPort::Connections() const {
  if (port_ == nullptr || lost_) return {};
  return TakeNames(jack_port_get_all_connections(client_, port_));
}

std::vector<std::string> JackMidiPort::PhysicalOutputs() const {
  if (client_ == nullptr || lost_) return {};
  return TakeNames(jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsPhysical | JackPortIsOutput));
}

bool JackMidiPort::ConnectFrom(const std::string& source) {
  if (port_ == nullptr || lost_) return false;
  const int result = jack_connect(client_, source.c_str(), jack_port_name(port_));
  return result == 0 || result == EEXIST;
}

int JackMidiPort::Process(std::uint32_t frames, void* self) {
  auto* port = static_cast<JackMidiPort*>(self);
  port->input_.Service();
  void* buffer = jack_port_get_buffer(port->port_, frames);
  const std::uint32_t count = jack_midi_get_event_count(buffer);
  if (count == 0) return 0;
  const std::int64_t now = SteadyNanoseconds();
  for (std::uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event{};
    if (jack_midi_event_get(&event, buffer, i) != 0) continue;
    port->input_.Receive(std::span<const std::uint8_t>(event.buffer, event.size), now);
  }
  return 0;
}

void JackMidiPort::Shutdown(void* self) { static_cast<JackMidiPort*>(self)->lost_ = true; }

void JackMidiPort::ConnectionChanged(std::uint32_t a, std::uint32_t b, int connected, void* self) {
  auto* port = static_cast<JackMidiPort*>(self);
  if (jack_port_by_id(port->client_, a) != port->port_ && jack_port_by_id(port->client_, b) != port->port_) return;
  port->connectionChanges_.fetch_add(1);
  // The last sender gone: notes it had down would never be released.
  if (connected == 0 && jack_port_connected(port->port_) == 0) port->input_.RequestRelease();
}

}  // namespace tonefield

// Tonefield's MIDI input port on a JACK server, through libjack itself
// rather than RtMidi, which hears neither the server going away nor the
// port's connections: the shutdown callback marks the port lost (the GUI
// closes it, releases the notes and looks for a server again), and the
// last connection going away asks the input to release its notes at the
// next cycle. The process callback hands each message to the MidiInput on
// JACK's own thread. Everything else is for the GUI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "midi/MidiInput.h"

struct _jack_client;
struct _jack_port;

namespace tonefield {

class JackMidiPort {
 public:
  explicit JackMidiPort(MidiInput& input) : input_(input) {}
  ~JackMidiPort() { Close(); }
  JackMidiPort(const JackMidiPort&) = delete;
  JackMidiPort& operator=(const JackMidiPort&) = delete;

  // Whether a JACK server answers, asked without starting one and without
  // libjack printing anything.
  static bool ServerRuns(const char* clientName);

  // Registers client:port and activates it. Returns an empty string, or
  // why not (no server, or the port cannot be made).
  std::string Open(const char* clientName, const char* portName);
  // Leaves the graph; no message reaches the input afterwards.
  void Close();
  bool IsOpen() const { return client_ != nullptr; }
  // The server shut down under the open port (set on JACK's thread).
  bool Lost() const { return lost_.load(); }
  // Counts connections made and broken to the port (any thread).
  std::uint64_t ConnectionChanges() const { return connectionChanges_.load(); }

  std::string Name() const;
  // The ports connected to ours.
  std::vector<std::string> Connections() const;
  // Every physical MIDI output (a device's port) on the server.
  std::vector<std::string> PhysicalOutputs() const;
  bool ConnectFrom(const std::string& source);

 private:
  static int Process(std::uint32_t frames, void* self);
  static void Shutdown(void* self);
  static void ConnectionChanged(std::uint32_t a, std::uint32_t b, int connected, void* self);

  MidiInput& input_;
  _jack_client* client_ = nullptr;
  _jack_port* port_ = nullptr;
  std::atomic<bool> lost_{false};
  std::atomic<std::uint64_t> connectionChanges_{0};
};

}  // namespace tonefield

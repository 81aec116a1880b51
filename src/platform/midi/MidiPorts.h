// Tonefield's MIDI input on the platform's MIDI system, through RtMidi. On
// Linux: a virtual input port "MIDI In" of a client "Tonefield", on the ALSA
// sequencer (every hardware input is connected to it, at the start and
// whenever one appears) or on a JACK server. On Windows: every WinMM input
// device, opened as it appears. Messages go, on the port's own thread, to
// the core's MidiInput; system exclusive, clock and active sensing are
// filtered out by RtMidi before they get there.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/LaunchOptions.h"
#include "midi/HardwareInputWatch.h"
#include "midi/MidiInput.h"

class RtMidiIn;

namespace tonefield {

class AlsaSequencer;

inline constexpr const char* kMidiClientName = "Tonefield";
inline constexpr const char* kMidiPortName = "MIDI In";

class MidiPorts {
 public:
  explicit MidiPorts(MidiInput& input);
  ~MidiPorts();
  MidiPorts(const MidiPorts&) = delete;
  MidiPorts& operator=(const MidiPorts&) = delete;

  // Whether this build can open api (Default and None always).
  static bool Available(MidiApi api);

  // Opens the input. Returns an empty string when MIDI plays or was turned
  // off (None); otherwise why there is no MIDI input, in one line: the
  // window then plays without it.
  std::string Open(MidiApi api);
  // GUI thread, about once a second: connects hardware inputs that appeared
  // (ALSA), opens new devices and closes vanished ones (WinMM).
  void Poll();
  // Stops every port; no message reaches the MidiInput afterwards.
  void Close();
  bool IsOpen() const { return !inputs_.empty(); }
  // Whether Poll has devices to look for.
  bool Watching() const { return alsa_ != nullptr || serialise_; }
  // The port as other programs see it, for example "128:0" or "Tonefield:MIDI In".
  const std::string& address() const { return address_; }

 private:
  struct Port;
  static void OnMessage(double, std::vector<unsigned char>* message, void* user);
  std::string OpenVirtual(MidiApi api);
  void PollAlsa();
  void PollWinMM();
  // The input thread(s) deliver here; several WinMM devices take turns.
  void Deliver(const std::vector<unsigned char>& message);

  MidiInput& input_;
  std::vector<std::unique_ptr<Port>> inputs_;
  std::unique_ptr<AlsaSequencer> alsa_;
  MidiPortAddress ownAddress_;
  HardwareInputWatch watch_;
  std::string address_;
  bool serialise_ = false;
  std::mutex deliverMutex_;
};

}  // namespace tonefield

// Tonefield's MIDI input on the platform's MIDI system. On Linux: a virtual
// input port "MIDI In" of a client "Tonefield", on the ALSA sequencer
// (through RtMidi) or on a JACK server (through libjack); every hardware
// input (ALSA) or physical MIDI output (JACK) is connected to it, at the
// start and whenever one appears, unless auto-connection is off. A JACK
// server that is not running yet, or that goes away, is looked for again
// at every Poll. On Windows: every WinMM input device, opened as it
// appears. Messages go, on the port's own thread, to the core's MidiInput;
// system exclusive, clock and active sensing never play.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/LaunchOptions.h"
#include "midi/HardwareInputWatch.h"
#include "midi/MidiInput.h"
#include "midi/MidiStatus.h"

class RtMidiIn;

namespace tonefield {

class AlsaSequencer;
class JackMidiPort;

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
  // window then plays without it (and, on JACK, Poll keeps looking for a
  // server). autoConnect: connect hardware inputs as they appear.
  std::string Open(MidiApi api, bool autoConnect = true);
  // GUI thread, about once a second: connects hardware inputs that appeared
  // (ALSA, JACK), opens new devices and closes vanished ones (WinMM),
  // releases the MIDI notes when the last connection went away, closes a
  // port whose JACK server stopped and opens it again once one runs.
  // Returns whether status() changed.
  bool Poll();
  // Stops every port; no message reaches the MidiInput afterwards.
  void Close();
  // Every MIDI note ends and keys and pedals are forgotten, from whichever
  // thread may produce MIDI commands now (GUI thread).
  void Panic();
  bool IsOpen() const;
  // GUI timer: MIDI commands that waited for room in the engine's queue are
  // sent, under the delivery lock (a port's thread only runs when a message
  // comes). JACK's own cycle does this for its port.
  void SendWaiting();
  // Whether Poll has anything to do.
  bool Watching() const;
  // The port as other programs see it, for example "128:0" or "Tonefield:MIDI In".
  const std::string& address() const { return status_.address; }
  const MidiStatus& status() const { return status_; }

 private:
  struct Port;
  static void OnMessage(double, std::vector<unsigned char>* message, void* user);
  std::string OpenVirtual(MidiApi api);
  std::string OpenJack();
  bool PollJack();
  bool PollAlsa();
  void PollWinMM();
  // The RtMidi input thread(s) deliver here, taking turns with each other
  // and with the GUI's releases.
  void Deliver(const std::vector<unsigned char>& message);
  void ReleaseFromGui();

  MidiInput& input_;
  std::vector<std::unique_ptr<Port>> inputs_;
  std::unique_ptr<AlsaSequencer> alsa_;
  std::unique_ptr<JackMidiPort> jack_;
  MidiPortAddress ownAddress_;
  HardwareInputWatch watch_;
  MidiStatus status_;
  bool autoConnect_ = true;
  bool winmm_ = false;
  std::uint64_t jackChangesSeen_ = 0;
  std::mutex deliverMutex_;
};

}  // namespace tonefield

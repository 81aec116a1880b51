// What the MIDI input is doing, as the status line says it: which system
// its port is on and who is connected, or that it is off and why, or that
// its server went away and it waits for it. The platform's MIDI code fills
// a MidiStatus; the texts are made here so they can be tested.
#pragma once

#include <string>
#include <vector>

namespace tonefield {

enum class MidiState {
  Off,      // no input, for `reason`
  Open,     // the port takes notes
  Waiting,  // no server yet; looked for again about once a second
  Lost,     // the server went away; looked for again about once a second
};

enum class MidiOffReason {
  TurnedOff,        // --midi-api none
  NoServer,         // no JACK server runs
  NoSequencer,      // the ALSA sequencer cannot be opened (detail: its error)
  PortFailed,       // the port cannot be opened (detail: the library's error)
  NotInThisBuild,   // detail: the system's name
};

struct MidiStatus {
  MidiState state = MidiState::Off;
  MidiOffReason reason = MidiOffReason::TurnedOff;
  std::string system;                    // "ALSA", "JACK", "WinMM"
  std::string address;                   // the port as others see it, "128:0" or "Tonefield:MIDI In"
  std::vector<std::string> connections;  // who sends to the port, when it is known
  std::string detail;

  bool operator==(const MidiStatus&) const = default;
};

// The status line's text (UTF-8, Japanese), short enough for the line; the
// detail is for standard error.
std::string MidiStatusText(const MidiStatus& status);

}  // namespace tonefield

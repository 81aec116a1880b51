// What a PulseAudio server (or PipeWire's pulse layer) says about itself,
// asked through libpulse with a time limit: its devices by the server's own
// names and the descriptions SDL shows, and whether it has a default output
// and input. SDL 2.26's pulse driver crashes while starting up when the
// server has no default device; the devices check this first.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace tonefield {

struct PulseDeviceName {
  std::string name;         // the server's own: "alsa_output.pci-0000_00_1f.3.analog-stereo"
  std::string description;  // what SDL and the mixer show: "Built-in Audio Analog Stereo"
};

struct PulseServerView {
  bool answered = false;  // a server was reached and answered in time
  std::string serverName;
  bool hasDefaultSink = false;
  bool hasDefaultSource = false;
  std::vector<PulseDeviceName> sinks;
  std::vector<PulseDeviceName> sources;
};

// Never starts a server. Not answered without one, when it does not answer
// within limit, or in a build without libpulse.
PulseServerView AskPulseServer(std::chrono::milliseconds limit);

// Whether SDL would pick its pulse driver: SDL_AUDIODRIVER unset or naming it.
bool SdlWouldUsePulse();

}  // namespace tonefield

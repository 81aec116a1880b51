// A small ALSA sequencer client of Tonefield's own, beside the one RtMidi
// opens for the input port: it lists the ports, hears the system's
// announcements of ports that start, and subscribes hardware inputs to the
// input port, as aconnect would. Linux only; GUI thread only.
#pragma once

#include <string>
#include <vector>

#include "midi/HardwareInputWatch.h"

struct _snd_seq;

namespace tonefield {

class AlsaSequencer {
 public:
  AlsaSequencer() = default;
  ~AlsaSequencer();
  AlsaSequencer(const AlsaSequencer&) = delete;
  AlsaSequencer& operator=(const AlsaSequencer&) = delete;

  // Opens the client; false with error() set when there is no sequencer.
  // Nothing is printed: ALSA's own messages are silenced.
  bool Open();
  const std::string& error() const { return error_; }

  std::vector<MidiPortInfo> Ports();
  // The ports started since the last call (announcements), never blocking.
  std::vector<MidiPortAddress> Announced();
  // Of the ports named port in clients named client: the one this process
  // owns, else the one not in `before` (a kernel that does not tell
  // clients' processes); {-1, -1} when neither finds exactly one.
  MidiPortAddress FindOwnPort(const std::string& client, const std::string& port,
                              const std::vector<MidiPortInfo>& before);
  // Subscribes sender to destination; an existing subscription is success.
  bool Connect(MidiPortAddress sender, MidiPortAddress destination);
  // The ports subscribed to send to port, by name ("client name:port name").
  std::vector<std::string> Senders(MidiPortAddress port);

 private:
  _snd_seq* seq_ = nullptr;
  int announcePort_ = -1;
  std::string error_;
};

}  // namespace tonefield

// The MIDI input on Windows: every WinMM input device, opened as it
// appears (Poll, about once a second) and closed when it goes. Short
// messages go, on WinMM's callback thread, to the core's MidiInput; system
// exclusive, clock, time code and active sensing are left out. Several
// devices take turns through one mutex, as the MIDI queue has one producer.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/MidiInput.h"
#include "midi/MidiStatus.h"

namespace tonefield {

class WinMmMidiInput {
 public:
  explicit WinMmMidiInput(MidiInput& input) : input_(input) {}
  ~WinMmMidiInput() { Close(); }
  WinMmMidiInput(const WinMmMidiInput&) = delete;
  WinMmMidiInput& operator=(const WinMmMidiInput&) = delete;

  // GUI thread: opens devices that appeared, closes those that went (their
  // notes end: a device unplugged with keys down never sends their
  // note-offs). True when the devices connected changed.
  bool Poll();
  void Close();
  // GUI thread: every MIDI note ends and the input forgets keys and pedals.
  void Panic();
  std::size_t OpenCount() const { return devices_.size(); }
  const MidiStatus& status() const { return status_; }

  // The bytes of a short message as WinMM packs it, 0 for one left out.
  static std::size_t MessageLength(std::uint8_t status);

 private:
  struct Device {
    HMIDIIN handle = nullptr;
    std::wstring name;
  };
  static void CALLBACK OnMessage(HMIDIIN handle, UINT message, DWORD_PTR self, DWORD_PTR param1, DWORD_PTR param2);
  void Deliver(DWORD packed);

  MidiInput& input_;
  std::vector<Device> devices_;
  MidiStatus status_{MidiState::Open, MidiOffReason::TurnedOff, "WinMM", "WinMM", {}, {}};
  std::mutex deliverMutex_;
};

}  // namespace tonefield

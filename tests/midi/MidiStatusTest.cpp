#include "midi/MidiStatus.h"

#include <gtest/gtest.h>

namespace tonefield {
namespace {

MidiStatus Make(MidiState state, MidiOffReason reason, std::string system, std::string address,
                std::vector<std::string> connections, std::string detail) {
  return {state, reason, std::move(system), std::move(address), std::move(connections), std::move(detail)};
}

TEST(MidiStatusText, SaysWhatTheInputIsDoing) {
  constexpr auto kOpen = MidiState::Open;
  constexpr auto kOff = MidiState::Off;
  constexpr auto kAny = MidiOffReason::TurnedOff;
  struct Case {
    MidiStatus status;
    std::string text;
  };
  const Case cases[] = {
      {Make(kOpen, kAny, "ALSA", "128:0", {}, ""), "MIDI: ALSA 128:0（未接続）"},
      {Make(kOpen, kAny, "JACK", "Tonefield:MIDI In", {"jack-keyboard:midi_out"}, ""),
       "MIDI: JACK Tonefield:MIDI In ← jack-keyboard:midi_out"},
      {Make(kOpen, kAny, "ALSA", "128:0", {"A:1", "B:1", "C:1", "D:1"}, ""),
       "MIDI: ALSA 128:0 ← A:1、B:1 ほか 2 件"},
      {Make(kOff, MidiOffReason::TurnedOff, "", "", {}, ""), "MIDI: オフ"},
      {Make(kOff, MidiOffReason::NoSequencer, "ALSA", "", {}, "No such file or directory"),
       "MIDI: オフ（ALSA シーケンサーなし）"},
      {Make(kOff, MidiOffReason::PortFailed, "ALSA", "", {}, "busy"),
       "MIDI: オフ（ALSA のポートを開けません）"},
      {Make(kOff, MidiOffReason::NotInThisBuild, "JACK", "", {}, "JACK"),
       "MIDI: オフ（JACK 非対応）"},
      {Make(MidiState::Waiting, MidiOffReason::NoServer, "JACK", "", {}, ""),
       "MIDI: JACK サーバー待ち"},
      {Make(MidiState::Lost, kAny, "JACK", "Tonefield:MIDI In", {}, ""),
       "MIDI: JACK サーバー停止、再起動待ち"},
  };
  for (const Case& c : cases) EXPECT_EQ(MidiStatusText(c.status), c.text);
}

}  // namespace
}  // namespace tonefield

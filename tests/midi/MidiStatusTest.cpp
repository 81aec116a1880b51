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
      {Make(kOpen, kAny, "ALSA", "128:0", {}, ""), "MIDI入力: ALSA のポート 128:0 を開きました（未接続）。"},
      {Make(kOpen, kAny, "JACK", "Tonefield:MIDI In", {"jack-keyboard:midi_out"}, ""),
       "MIDI入力: JACK のポート Tonefield:MIDI In に接続中: jack-keyboard:midi_out。"},
      {Make(kOpen, kAny, "ALSA", "128:0", {"A:1", "B:1", "C:1", "D:1"}, ""),
       "MIDI入力: ALSA のポート 128:0 に接続中: A:1、B:1 ほか 2 件。"},
      {Make(kOff, MidiOffReason::TurnedOff, "", "", {}, ""), "MIDI入力はオフです。"},
      {Make(kOff, MidiOffReason::NoSequencer, "ALSA", "", {}, "No such file or directory"),
       "MIDI入力はオフです: ALSA シーケンサーを開けません（No such file or directory）。"},
      {Make(kOff, MidiOffReason::PortFailed, "ALSA", "", {}, "busy"),
       "MIDI入力はオフです: ALSA のポートを開けません（busy）。"},
      {Make(kOff, MidiOffReason::NotInThisBuild, "JACK", "", {}, "JACK"),
       "MIDI入力はオフです: このビルドは JACK に対応していません。"},
      {Make(MidiState::Waiting, MidiOffReason::NoServer, "JACK", "", {}, ""),
       "MIDI入力はオフです: JACK サーバーが動いていません（起動すれば接続します）。"},
      {Make(MidiState::Lost, kAny, "JACK", "Tonefield:MIDI In", {}, ""),
       "MIDI入力: JACK サーバーが停止しました。MIDI の音を止め、サーバーの再起動を待っています。"},
  };
  for (const Case& c : cases) EXPECT_EQ(MidiStatusText(c.status), c.text);
}

}  // namespace
}  // namespace tonefield

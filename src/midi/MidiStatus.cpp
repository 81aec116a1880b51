#include "midi/MidiStatus.h"

#include <cstddef>

namespace tonefield {

namespace {

// The status line is one line: the first two senders, then how many more.
std::string Senders(const std::vector<std::string>& names) {
  constexpr std::size_t kShown = 2;
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < kShown; ++i) {
    if (i > 0) text += "、";
    text += names[i];
  }
  if (names.size() > kShown) text += " ほか " + std::to_string(names.size() - kShown) + " 件";
  return text;
}

std::string OffText(const MidiStatus& status) {
  switch (status.reason) {
    case MidiOffReason::TurnedOff: return "MIDI入力はオフです。";
    case MidiOffReason::NoServer: return "MIDI入力はオフです: JACK サーバーが動いていません。";
    case MidiOffReason::NoSequencer:
      return "MIDI入力はオフです: ALSA シーケンサーを開けません（" + status.detail + "）。";
    case MidiOffReason::PortFailed:
      return "MIDI入力はオフです: " + status.system + " のポートを開けません（" + status.detail + "）。";
    case MidiOffReason::NotInThisBuild:
      return "MIDI入力はオフです: このビルドは " + status.detail + " に対応していません。";
  }
  return "MIDI入力はオフです。";
}

}  // namespace

std::string MidiStatusText(const MidiStatus& status) {
  switch (status.state) {
    case MidiState::Off: return OffText(status);
    case MidiState::Waiting:
      return "MIDI入力はオフです: JACK サーバーが動いていません（起動すれば接続します）。";
    case MidiState::Lost:
      return "MIDI入力: JACK サーバーが停止しました。MIDI の音を止め、サーバーの再起動を待っています。";
    case MidiState::Open:
      if (status.connections.empty()) {
        return "MIDI入力: " + status.system + " のポート " + status.address + " を開きました（未接続）。";
      }
      return "MIDI入力: " + status.system + " のポート " + status.address + " に接続中: " +
             Senders(status.connections) + "。";
  }
  return {};
}

}  // namespace tonefield

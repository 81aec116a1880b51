#include "midi/MidiStatus.h"

#include <cstddef>

namespace tonefield {

namespace {

// The status line is short: the first two senders, then how many more.
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
    case MidiOffReason::TurnedOff: return "MIDI: オフ";
    case MidiOffReason::NoServer: return "MIDI: オフ（JACK サーバーなし）";
    case MidiOffReason::NoSequencer: return "MIDI: オフ（ALSA シーケンサーなし）";
    case MidiOffReason::PortFailed: return "MIDI: オフ（" + status.system + " のポートを開けません）";
    case MidiOffReason::NotInThisBuild: return "MIDI: オフ（" + status.system + " 非対応）";
  }
  return "MIDI: オフ";
}

}  // namespace

std::string MidiStatusText(const MidiStatus& status) {
  switch (status.state) {
    case MidiState::Off: return OffText(status);
    case MidiState::Waiting: return "MIDI: JACK サーバー待ち";
    case MidiState::Lost: return "MIDI: JACK サーバー停止、再起動待ち";
    case MidiState::Open: {
      const std::string port = "MIDI: " + status.system + " " + status.address;
      return status.connections.empty() ? port + "（未接続）" : port + " ← " + Senders(status.connections);
    }
  }
  return {};
}

}  // namespace tonefield

#include "midi/MidiFilePlayer.h"

#include <algorithm>
#include <cmath>

#include "engine/VoiceTable.h"

namespace tonefield {

namespace {

// A plain decimal channel number 1..16.
std::optional<int> ChannelNumber(std::string_view text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMidiChannels) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::uint16_t> ParseMidiChannelList(std::string_view text) {
  if (text == "all") return kAllMidiChannels;
  std::uint32_t channels = 0;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    const std::size_t dash = item.find('-');
    const auto first = ChannelNumber(item.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first : ChannelNumber(item.substr(dash + 1));
    if (!first || !last || *last < *first) return std::nullopt;
    for (int c = *first; c <= *last; ++c) channels |= 1u << (c - 1);
    if (comma == std::string_view::npos) break;
    text = text.substr(comma + 1);
  }
  return static_cast<std::uint16_t>(channels);
}

std::int32_t MidiFileSpeed(int tempoPosition) {
  const double factor = std::pow(2.0, static_cast<double>(tempoPosition - kTempoPositionStart) / 5.0);
  return static_cast<std::int32_t>(std::lround(factor * kMidiFileNormalSpeed));
}

void MidiFilePlayer::Load(MidiFileSchedule schedule, MidiFilePlayOptions options) {
  std::erase_if(schedule.messages, [&options](const ScheduledMidiMessage& message) {
    return (options.channels & (1u << (message.bytes[0] & 0x0F))) == 0;
  });
  messages_ = std::move(schedule.messages);
  endSample_ = schedule.endSample;
  interpreter_ = MidiInterpreter({.transpose = 0,
                                  .velocity = true,
                                  .channel = kMidiAllChannels,
                                  .foldOutOfRange = !options.dropOutOfRange});
  Rewind();
}

void MidiFilePlayer::Rewind() {
  voices_ = nullptr;
  interpreter_.Reset(*this);
  next_ = 0;
  clock_ = 0;
  ended_ = false;
  notesReceived_ = 0;
  notesSounded_ = 0;
}

std::int64_t MidiFilePlayer::NextTime() const {
  const std::int64_t sample = next_ < messages_.size() ? messages_[next_].sample : endSample_;
  return sample * kMidiFileNormalSpeed;
}

void MidiFilePlayer::StepSample(VoiceTable& voices) {
  if (!ended_) {
    voices_ = &voices;
    while (next_ < messages_.size() && messages_[next_].sample * kMidiFileNormalSpeed <= clock_) {
      if (interpreter_.Receive(messages_[next_].bytes, *this)) ++notesReceived_;
      ++next_;
    }
    if (next_ == messages_.size() && endSample_ * kMidiFileNormalSpeed <= clock_) {
      interpreter_.Reset(*this);  // a note the file never ended ends with it
      ended_ = true;
    }
    voices_ = nullptr;
  }
  clock_ += speed_;
}

std::int32_t MidiFilePlayer::QuietSamples() const {
  constexpr std::int64_t kLongest = INT32_MAX / 2;
  if (ended_) return static_cast<std::int32_t>(kLongest);
  const std::int64_t ahead = NextTime() - clock_;
  if (ahead <= 0) return 0;
  // The samples before the first whose file time reaches it.
  return static_cast<std::int32_t>(std::min(kLongest, (ahead + speed_ - 1) / speed_));
}

void MidiFilePlayer::SkipQuietSamples(std::int32_t count) { clock_ += static_cast<std::int64_t>(count) * speed_; }

void MidiFilePlayer::StartNote(int key, std::int32_t gain) {
  if (voices_ != nullptr && voices_->NoteOnYielding(kMidiFileOwner, key, gain)) ++notesSounded_;
}

void MidiFilePlayer::EndNote(int key) {
  if (voices_ != nullptr) voices_->NoteOff(kMidiFileOwner, key);
}

void MidiFilePlayer::EndAllNotes() {
  if (voices_ != nullptr) voices_->ReleaseOwner(kMidiFileOwner);
}

}  // namespace tonefield

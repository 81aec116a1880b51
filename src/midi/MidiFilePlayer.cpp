#include "midi/MidiFilePlayer.h"

#include <algorithm>
#include <cmath>

#include "engine/VoiceTable.h"

namespace tonefield {

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

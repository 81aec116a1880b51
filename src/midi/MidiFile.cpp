#include "midi/MidiFile.h"

namespace tonefield {

namespace {

constexpr std::int64_t kMicrosecondsPerSecond = 1000000;

// numerator / denominator × rate, rounded down, without overflowing 64 bits
// for any numerator below 2^62 and denominator below 2^40.
std::int64_t ScaleDown(std::int64_t numerator, std::int64_t denominator, std::uint32_t rate) {
  const std::int64_t whole = numerator / denominator;
  const std::int64_t rest = numerator % denominator;
  return whole * rate + rest * rate / denominator;
}

}  // namespace

std::int64_t MidiPulseToSample(const MidiFileData& file, std::int64_t pulse, std::uint32_t rate) {
  // Microseconds × pulses per quarter, summed over the tempo segments.
  std::int64_t scaledMicroseconds = 0;
  std::int64_t from = 0;
  std::int64_t tempo = kMidiDefaultMicrosecondsPerQuarter;
  for (const MidiTempoChange& change : file.tempos) {
    if (change.pulse >= pulse) break;
    scaledMicroseconds += (change.pulse - from) * tempo;
    from = change.pulse;
    tempo = change.microsecondsPerQuarter;
  }
  scaledMicroseconds += (pulse - from) * tempo;
  return ScaleDown(scaledMicroseconds, static_cast<std::int64_t>(file.pulsesPerQuarter) * kMicrosecondsPerSecond,
                   rate);
}

MidiFileSchedule ScheduleMidiFile(const MidiFileData& file, std::uint32_t rate) {
  MidiFileSchedule schedule;
  schedule.messages.reserve(file.messages.size());
  // One walk through the tempo map for all messages, as MidiPulseToSample
  // does for one.
  const std::int64_t denominator = static_cast<std::int64_t>(file.pulsesPerQuarter) * kMicrosecondsPerSecond;
  std::size_t next = 0;
  std::int64_t segmentStart = 0;
  std::int64_t segmentMicroseconds = 0;  // scaled, at segmentStart
  std::int64_t tempo = kMidiDefaultMicrosecondsPerQuarter;
  auto at = [&](std::int64_t pulse) {
    while (next < file.tempos.size() && file.tempos[next].pulse < pulse) {
      segmentMicroseconds += (file.tempos[next].pulse - segmentStart) * tempo;
      segmentStart = file.tempos[next].pulse;
      tempo = file.tempos[next].microsecondsPerQuarter;
      ++next;
    }
    return ScaleDown(segmentMicroseconds + (pulse - segmentStart) * tempo, denominator, rate);
  };
  for (const MidiFileMessage& message : file.messages) schedule.messages.push_back({at(message.pulse), message.bytes});
  schedule.endSample = at(file.endPulse);
  return schedule;
}

}  // namespace tonefield

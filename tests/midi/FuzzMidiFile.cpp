// Feeds arbitrary bytes through the MIDI file reader, the schedule and the
// player that plays it on the voices, and checks what every accepted file
// promises: the player ends on the sample the schedule says, at any speed,
// with no voice left.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <span>

#include "engine/VoiceTable.h"
#include "midi/MidiFile.h"
#include "midi/MidiFilePlayer.h"
#include "midi/MidiInterpreter.h"
#include "midi/SmfReader.h"

namespace {

using namespace tonefield;

class CheckingKeys : public MidiNoteSink {
 public:
  void StartNote(int key, std::int32_t gain) override {
    if (key < 0 || key >= kKeyCount || gain <= 0 || gain > 32768) std::abort();
  }
  void EndNote(int key) override {
    if (key < 0 || key >= kKeyCount) std::abort();
  }
  void EndAllNotes() override {}
};

}  // namespace

// libsmf does not free its object when it refuses a file; not ours to mend.
extern "C" const char* __lsan_default_suppressions() { return "leak:smf_new\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const MidiFileResult result = ReadMidiFile(std::span<const std::uint8_t>(data, size));
  if (!result.ok) {
    if (result.message.empty()) std::abort();
    return 0;
  }
  const MidiFileData& file = result.data;
  if (file.pulsesPerQuarter <= 0 || file.format < 0 || file.format > 1) std::abort();
  for (std::size_t i = 1; i < file.messages.size(); ++i) {
    if (file.messages[i].pulse < file.messages[i - 1].pulse) std::abort();
  }
  for (const MidiFileMessage& m : file.messages) {
    if (m.pulse < 0 || m.pulse > file.endPulse || m.bytes[1] > 127 || m.bytes[2] > 127) std::abort();
  }
  for (const MidiTempoChange& t : file.tempos) {
    if (t.microsecondsPerQuarter <= 0) std::abort();
  }
  const MidiFileSchedule schedule = ScheduleMidiFile(file, 192000);
  for (std::size_t i = 0; i < schedule.messages.size(); ++i) {
    if (schedule.messages[i].sample < 0 || schedule.messages[i].sample > schedule.endSample) std::abort();
    if (i > 0 && schedule.messages[i].sample < schedule.messages[i - 1].sample) std::abort();
  }
  if (schedule.endSample > kMidiFileMaxSeconds * 192000 + 192000) std::abort();
  MidiInterpreter interpreter({.foldOutOfRange = true});
  CheckingKeys keys;
  for (const ScheduledMidiMessage& m : schedule.messages) interpreter.Receive(m.bytes, keys);
  interpreter.Reset(keys);

  // The player, stepped as the mixer steps it, at a low rate so a long file
  // stays quick: a speed and options from the file's own bytes.
  const std::uint32_t rate = 1000;
  const std::uint8_t pick = data[size - 1];
  MidiFilePlayer player;
  player.Load(ScheduleMidiFile(file, rate),
              {.dropOutOfRange = (pick & 1) != 0, .channels = static_cast<std::uint16_t>(pick & 2 ? 0x00FF : 0xFFFF)});
  player.SetSpeed(MidiFileSpeed(pick % 11));
  const std::int64_t end = MidiPulseToSample(file, file.endPulse, rate);
  const std::int64_t lastSample = (end * kMidiFileNormalSpeed + player.speed() - 1) / player.speed();
  VoiceTable voices;
  std::int64_t sample = 0;
  while (!player.Finished()) {
    if (sample > lastSample) std::abort();  // it must end on the sample its end falls on
    std::int32_t quiet = player.QuietSamples();
    if (quiet == 0) {
      player.StepSample(voices);
      ++sample;
      quiet = player.QuietSamples();
    }
    if (player.Finished()) break;
    const std::int32_t skip = static_cast<std::int32_t>(std::min<std::int64_t>(quiet, 1 << 20));
    player.SkipQuietSamples(skip);
    sample += skip;
  }
  if (sample != lastSample + 1 || voices.SoundingCount() != 0) std::abort();
  if (player.notesSounded() > player.notesReceived()) std::abort();
  return 0;
}

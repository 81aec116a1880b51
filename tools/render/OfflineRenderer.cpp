#include "OfflineRenderer.h"

#include <algorithm>
#include <exception>
#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "ErrorGloss.h"
#include "RenderedWaveWriter.h"
#include "SfzInstrument.h"
#include "StagedOutputFile.h"
#include "audio_io/WaveFile.h"
#include "common/RegularFile.h"
#include "common/Utf8Path.h"
#include "dsp/DefaultSample.h"
#include "dsp/ParallelRun.h"
#include "engine/BlockMixer.h"
#include "prebuilt/PrebuiltDefaultTone.h"
#include "score/ScoreSelection.h"
#include "score/UserScoreCache.h"

namespace tonefield {

namespace {

// About 128 KiB of samples a write.
constexpr std::size_t kWriteBatchSamples = 65536;

// Runs side on a thread of its own while main runs on this one, and returns
// when both are done; both run here, one after the other, when no thread
// can be started. The side thread holds signals back, so an interrupt
// reaches this thread, the one that makes and registers the temporary
// files. An exception from side is thrown here.
template <typename Side, typename Main>
void RunBeside(Side side, Main main) {
  std::exception_ptr failure;
  std::thread thread;
  try {
    thread = std::thread([&] {
      HoldBackSignalsInThisThread();
      try {
        side();
      } catch (...) {
        failure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    side();
  }
  struct Joiner {
    std::thread& thread;
    ~Joiner() {
      if (thread.joinable()) thread.join();
    }
  } joiner{thread};
  main();
  if (thread.joinable()) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

OfflineRenderer::OfflineRenderer() : filter_(DesignUpsampleFilter()) {}

void OfflineRenderer::UseDefaultSample() {
  // The keys carried in the program are the ones Adopt would build.
  if (UsePrebuiltDefaultTone(sample_, keyWaves_)) {
    built_ = AllKeys();
    return;
  }
  Adopt(MakeDefaultSample());
}

void OfflineRenderer::UseSample(const SourceSample& sample) { Adopt(SourceSample(sample)); }

void OfflineRenderer::Adopt(SourceSample&& sample) {
  sample_ = std::move(sample);
  built_.reset();
  RebuildKeyWaves(sample_, filter_, keyWaves_, nullptr, built_);
}

void OfflineRenderer::BuildKeys(const KeySet& wanted) {
  if ((wanted & ~built_).none()) return;
  built_ |= wanted;
  RebuildKeyWaves(sample_, filter_, keyWaves_, nullptr, built_);
}

namespace {

// Every key a score's tracks play.
KeySet KeysPlayed(const Score& score) {
  KeySet keys;
  for (const ScoreTrack& track : score.tracks) {
    for (std::int32_t i = 0; i < track.length; ++i) {
      const std::int32_t note = track.events[static_cast<std::size_t>(i)].note;
      if (note >= 0 && note < kKeyCount) keys.set(static_cast<std::size_t>(note));
    }
  }
  return keys;
}

}  // namespace

ToolStatus OfflineRenderer::LoadSample(const std::string& path) {
  WaveLoadResult loaded = LoadWaveFile(path);
  if (!loaded.ok) return ToolStatus::Failure(loaded.message, path);
  Adopt(std::move(loaded.sample));
  return ToolStatus::Success();
}

std::int32_t OfflineRenderer::blockLength() const {
  return static_cast<std::int32_t>(outputRate() / kBlocksPerSecond);
}

bool OfflineRenderer::StartPlayback(const ScoreChoice& choice, int tempoPosition, Sequencer& sequencer,
                                    VoiceTable& voices) const {
  UserScoreCache cache;  // a fresh engine has parsed nothing yet
  if (!LoadSelectedScore(choice.listIndex, choice.userScore, cache, sequencer.score())) return false;
  sequencer.SetSamplesPerTick(ComputeSamplesPerTick(sequencer.score().tempo, tempoPosition, outputRate()));
  voices.AllNotesOff();
  sequencer.Rewind();
  sequencer.ClearSamplesInTick();
  return true;
}

std::int64_t OfflineRenderer::PredictSampleCount(const Sequencer& sequencer) const {
  std::int64_t longestTicks = 0;
  for (const ScoreTrack& track : sequencer.score().tracks) {
    std::int64_t ticks = 0;
    for (std::int32_t i = 0; i < track.length; ++i) ticks += track.events[i].duration;
    longestTicks = std::max(longestTicks, ticks);
  }
  const std::int64_t block = blockLength();
  if (block <= 0) return 0;
  const std::int64_t samples = longestTicks * sequencer.samplesPerTick();
  return (samples + block - 1) / block * block;
}

RenderOutcome OfflineRenderer::Render(const ScoreChoice& choice, int tempoPosition, const BlockSink& sink) {
  RenderOutcome outcome;
  if (blockLength() <= 0) return outcome;
  auto sequencer = std::make_unique<Sequencer>();
  VoiceTable voices;
  outcome.started = StartPlayback(choice, tempoPosition, *sequencer, voices);
  if (!outcome.started) return outcome;
  BuildKeys(KeysPlayed(sequencer->score()));

  std::vector<std::int16_t> block(static_cast<std::size_t>(blockLength()));
  // The window's engine state 3 ("playing a score") lasts until a block
  // start finds every track finished; that block is the first not rendered.
  while (!sequencer->AllTracksFinished()) {
    MixBlock(block, voices, keyWaves_.bank, sequencer.get());
    ++outcome.blocks;
    if (!sink(block)) {
      outcome.stoppedBySink = true;
      break;
    }
  }
  return outcome;
}

ToolStatus OfflineRenderer::RenderToWaveFile(const ScoreChoice& choice, int tempoPosition,
                                             const std::string& outName) {
  if (blockLength() <= 0) return ToolStatus::Failure(std::string(kUnsupportedFormatMessage), outName);
  std::int64_t predicted = 0;
  {
    auto sequencer = std::make_unique<Sequencer>();
    VoiceTable voices;
    // The window's play button does nothing for an empty user score.
    if (!StartPlayback(choice, tempoPosition, *sequencer, voices)) {
      return ToolStatus::Failure(std::string(kEmptyScoreMessage), outName);
    }
    predicted = PredictSampleCount(*sequencer);
  }
  return WriteRender(
      predicted, [&](const BlockSink& sink) { Render(choice, tempoPosition, sink); }, outName);
}

namespace {

// Every key a MIDI file's note-ons play, folded or not.
KeySet KeysPlayed(const MidiFileSchedule& schedule, const MidiFilePlayOptions& options) {
  KeySet keys;
  for (const ScheduledMidiMessage& message : schedule.messages) {
    if ((message.bytes[0] & 0xF0) != 0x90 || (options.channels & (1u << (message.bytes[0] & 0x0F))) == 0) continue;
    const int key = options.dropOutOfRange ? KeyForMidiNote(message.bytes[1], 0) : FoldedKeyForMidiNote(message.bytes[1], 0);
    if (key >= 0) keys.set(static_cast<std::size_t>(key));
  }
  return keys;
}

}  // namespace

RenderOutcome OfflineRenderer::RenderMidiFile(const MidiFileData& file, const MidiFilePlayOptions& options,
                                              int tempoPosition, MidiFilePlayer& player, const BlockSink& sink) {
  RenderOutcome outcome;
  if (blockLength() <= 0) return outcome;
  MidiFileSchedule schedule = ScheduleMidiFile(file, outputRate());
  BuildKeys(KeysPlayed(schedule, options));
  player.Load(std::move(schedule), options);
  player.SetSpeed(MidiFileSpeed(tempoPosition));
  VoiceTable voices;
  voices.AllNotesOff();
  outcome.started = true;
  std::vector<std::int16_t> block(static_cast<std::size_t>(blockLength()));
  // As for a score: a block start that finds the file's end passed is the
  // first block not rendered.
  while (!player.Finished()) {
    MixPlayerBlock(block, voices, keyWaves_.bank, player);
    ++outcome.blocks;
    if (!sink(block)) {
      outcome.stoppedBySink = true;
      break;
    }
  }
  return outcome;
}

ToolStatus OfflineRenderer::RenderMidiFileToWaveFile(const MidiFileData& file, const MidiFilePlayOptions& options,
                                                     int tempoPosition, const std::string& outName) {
  if (blockLength() <= 0) return ToolStatus::Failure(std::string(kUnsupportedFormatMessage), outName);
  // The end falls on output sample ceil(end × 65536 / speed); the block
  // that follows it is the last.
  const std::int64_t speed = MidiFileSpeed(tempoPosition);
  const std::int64_t end = MidiPulseToSample(file, file.endPulse, outputRate());
  const std::int64_t block = blockLength();
  const std::int64_t predicted = ((end * kMidiFileNormalSpeed + speed - 1) / speed / block + 1) * block;
  MidiFilePlayer player;
  return WriteRender(
      predicted, [&](const BlockSink& sink) { RenderMidiFile(file, options, tempoPosition, player, sink); }, outName);
}

ToolStatus OfflineRenderer::WriteRender(std::int64_t predictedSamples,
                                        const std::function<void(const BlockSink&)>& render,
                                        const std::string& outName) {
  const std::filesystem::path out = PathFromUtf8(outName);
  const std::uint64_t bytes = static_cast<std::uint64_t>(predictedSamples) * 2;
  if (bytes > kMaxWaveDataBytes) return ToolStatus::Failure(std::string(kFileTooLargeMessage), outName);
  if (!StagedOutputFile::CanReplace(out)) return ToolStatus::Failure(CannotWriteFileMessage(outName), outName);

  // Blocks go to the file in batches: a write for every 20 ms block would
  // cost more than mixing it.
  const auto block = static_cast<std::size_t>(blockLength());
  const std::size_t batchSamples = std::max<std::size_t>(1, kWriteBatchSamples / block) * block;
  std::vector<std::int16_t> batch;
  batch.reserve(batchSamples);

  StagedOutputFile staged(out);
  RenderedWaveWriter writer;
  ToolStatus status = writer.Start(PathToUtf8(staged.temporaryPath()), RenderedFormat(keyWaves_.outputFormat),
                                   batchSamples);
  if (!status.ok) return ToolStatus::Failure(status.message, outName);
  render([&](std::span<const std::int16_t> samples) {
    batch.insert(batch.end(), samples.begin(), samples.end());
    if (batch.size() + block <= batchSamples) return true;
    const bool written = writer.Append(batch);
    batch.clear();
    return written;
  });
  if (!batch.empty()) writer.Append(batch);
  status = writer.Finish();
  if (!status.ok) return ToolStatus::Failure(status.message, outName);
  std::string renameError;
  if (!staged.Commit(renameError)) return ToolStatus::Failure(CannotWriteFileMessage(outName), outName);
  return ToolStatus::Success();
}

ToolStatus OfflineRenderer::ExportKeyBank(const std::string& folderName) {
  const std::filesystem::path folder = PathFromUtf8(folderName);
  StagedFolder madeFolder(folder);  // removed again if the export fails
  if (!madeFolder.exists()) return ToolStatus::Failure(CannotCreateFolderMessage(folderName), folderName);

  std::vector<std::filesystem::path> targets;
  for (int key = 0; key < kKeyCount; ++key) targets.push_back(folder / KeyWaveFileName(key));
  targets.push_back(folder / kSfzFileName);
  for (const std::filesystem::path& target : targets) {
    if (!StagedOutputFile::CanReplace(target)) {
      return ToolStatus::Failure(CannotWriteFileMessage(PathToUtf8(target)), PathToUtf8(target));
    }
  }

  // Creating the 37 temporary files is much of an export's time where file
  // creation is slow; the keys, which need none of them, are built beside it.
  std::vector<StagedOutputFile> staged;
  staged.reserve(targets.size());
  RunBeside([&] { BuildKeys(AllKeys()); },
            [&] {
              for (const std::filesystem::path& target : targets) staged.emplace_back(target);
            });

  // The 36 files are written by two threads, half each: writing is mostly
  // the kernel's copying into the page cache, and one core would idle.
  const auto writeKeys = [&](int first, int last) {
    for (int key = first; key < last; ++key) {
      StagedOutputFile& file = staged[static_cast<std::size_t>(key)];
      const KeyWave& wave = keyWaves_.bank.keys[key];
      RenderedWaveWriter writer;
      ToolStatus status = writer.Start(PathToUtf8(file.temporaryPath()), RenderedFormat(keyWaves_.outputFormat),
                                       wave.samples.size());
      if (status.ok) {
        writer.Append(wave.samples);
        status = writer.Finish();
      }
      if (!status.ok) return ToolStatus::Failure(status.message, PathToUtf8(file.target()));
    }
    return ToolStatus::Success();
  };
  ToolStatus lowKeys = ToolStatus::Success();
  ToolStatus highKeys = ToolStatus::Success();
  RunBeside([&] { highKeys = writeKeys(kKeyCount / 2, kKeyCount); },
            [&] { lowKeys = writeKeys(0, kKeyCount / 2); });
  if (!lowKeys.ok) return lowKeys;
  if (!highKeys.ok) return highKeys;

  {
    const std::string text = MakeSfzInstrument(outputRate());
    UniqueFile sfz = OpenFile(PathToUtf8(staged.back().temporaryPath()), "wb");
    bool written = sfz != nullptr && std::fwrite(text.data(), 1, text.size(), sfz.get()) == text.size();
    if (sfz != nullptr) written = std::fclose(sfz.release()) == 0 && written;
    if (!written) {
      const std::string target = PathToUtf8(staged.back().target());
      return ToolStatus::Failure(CannotWriteFileMessage(target), target);
    }
  }

  for (StagedOutputFile& file : staged) {
    std::string renameError;
    if (!file.Commit(renameError)) {
      const std::string target = PathToUtf8(file.target());
      return ToolStatus::Failure(CannotWriteFileMessage(target), target);
    }
  }
  madeFolder.Keep();
  return ToolStatus::Success();
}

}  // namespace tonefield

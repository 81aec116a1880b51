#include "engine/LiveRenderer.h"

#include <algorithm>

#include "common/SteadyClock.h"
#include "engine/BlockMixer.h"

namespace tonefield {

std::uint32_t DefaultBufferSamples(std::uint32_t rate) {
  const double fiveMs = static_cast<double>(rate) / 200.0;
  std::uint32_t best = 16;
  for (std::uint32_t p = 16; p <= 32768; p *= 2) {
    const double distance = static_cast<double>(p) > fiveMs ? static_cast<double>(p) - fiveMs
                                                            : fiveMs - static_cast<double>(p);
    const double bestDistance = static_cast<double>(best) > fiveMs
                                    ? static_cast<double>(best) - fiveMs
                                    : fiveMs - static_cast<double>(best);
    if (distance < bestDistance) best = p;
  }
  return best;
}

LiveRenderer::LiveRenderer(LiveChannels& channels) : channels_(channels), voices_(this) {}

void LiveRenderer::SetOutputRate(std::uint32_t rate) {
  rate_ = rate;
  blockLength_ = static_cast<std::int32_t>(rate / kBlocksPerSecond);
}

void LiveRenderer::PaintKey(int key, std::uint32_t colour) {
  changed_ = true;
  news_ = true;
  LiveEvent event;
  event.type = LiveEvent::Type::Paint;
  event.key = static_cast<std::int8_t>(key);
  event.colour = colour;
  if (!channels_.events.try_enqueue(event)) paintLost_ = true;
}

void LiveRenderer::HandBack(const LiveReturn& item) {
  // A return that does not fit is only never reused; its owner still frees it.
  (void)channels_.returns.try_enqueue(item);
  news_ = true;
}

void LiveRenderer::Apply(const LiveCommand& command, std::int64_t& callbackTime,
                         std::uint32_t bufferSamples) {
  switch (command.type) {
    case LiveCommandType::NoteOn:
      voices_.NoteOn(command.owner, command.key);
      if (command.inputTime != 0) {
        if (callbackTime == 0) callbackTime = SteadyNanoseconds();
        (void)channels_.latencies.try_enqueue(
            LatencyRecord{command.key, command.owner, command.inputTime, callbackTime, bufferSamples});
      }
      break;
    case LiveCommandType::NoteOff:
      voices_.NoteOff(command.owner, command.key);
      break;
    case LiveCommandType::NoteOnYielding:
      if (voices_.NoteOnYielding(command.owner, command.key, command.value) && command.inputTime != 0) {
        if (callbackTime == 0) callbackTime = SteadyNanoseconds();
        (void)channels_.latencies.try_enqueue(
            LatencyRecord{command.key, command.owner, command.inputTime, callbackTime, bufferSamples});
      }
      break;
    case LiveCommandType::ReleaseOwner:
      voices_.ReleaseOwner(command.owner);
      break;
    case LiveCommandType::AllNotesOff:
      voices_.AllNotesOff();
      break;
    case LiveCommandType::StartScore:
      StopSong();
      score_ = command.sequencer;
      scoreGeneration_ = command.generation;
      blockPhase_ = 0;
      break;
    case LiveCommandType::StartPlayer:
      StopSong();
      player_ = command.player;
      scoreGeneration_ = command.generation;
      blockPhase_ = 0;
      break;
    case LiveCommandType::StopScore:
      StopSong();
      break;
    case LiveCommandType::SetSamplesPerTick:
      if (score_ != nullptr) score_->SetSamplesPerTick(command.value);
      break;
    case LiveCommandType::SetPlayerSpeed:
      if (player_ != nullptr) player_->SetSpeed(command.value);
      break;
    case LiveCommandType::StopFeed:
      feedStopped_ = true;
      channels_.feedStopAck.store(command.seq);
      news_ = true;
      break;
    case LiveCommandType::ResumeFeed:
      feedStopped_ = false;
      break;
    case LiveCommandType::SwapBank:
      if (bank_ != nullptr && bank_ != command.bank) HandBack(LiveReturn{bank_, nullptr, nullptr});
      bank_ = command.bank;
      if (bank_ != nullptr) voices_.FinishVoicesBeyond(*bank_);
      break;
    case LiveCommandType::TapOn:
      tapOn_ = true;
      tapGeneration_ = command.generation;
      break;
    case LiveCommandType::TapOff:
      tapOn_ = false;
      break;
  }
  if (command.seq != 0) appliedSeq_ = command.seq;  // MIDI commands are not the GUI's
  changed_ = true;
}

void LiveRenderer::ApplyCommands() noexcept {
  std::int64_t callbackTime = 0;
  LiveCommand command;
  while (channels_.commands.try_dequeue(command)) Apply(command, callbackTime, 0);
  while (channels_.midi.try_dequeue(command)) Apply(command, callbackTime, 0);
  Publish();
}

void LiveRenderer::StopSong() {
  if (score_ != nullptr) HandBack(LiveReturn{nullptr, score_, nullptr});
  if (player_ != nullptr) HandBack(LiveReturn{nullptr, nullptr, player_});
  score_ = nullptr;
  player_ = nullptr;
}

void LiveRenderer::FinishScore() {
  StopSong();
  channels_.finishedScore.store(scoreGeneration_);
  news_ = true;
}

void LiveRenderer::Mix(std::span<std::int16_t> buffer) {
  std::size_t done = 0;
  while (done < buffer.size()) {
    std::size_t length = buffer.size() - done;
    if ((score_ != nullptr || player_ != nullptr) && blockLength_ > 0) {
      // The tracks-finished test belongs to the start of each 20 ms block.
      if (blockPhase_ == 0 && (score_ != nullptr ? score_->AllTracksFinished() : player_->Finished())) {
        FinishScore();
        continue;
      }
      length = std::min(length, static_cast<std::size_t>(blockLength_ - blockPhase_));
    }
    const bool playing = score_ != nullptr || player_ != nullptr;
    if (player_ != nullptr) {
      MixPlayerBlock(buffer.subspan(done, length), voices_, *bank_, *player_);
    } else {
      MixBlock(buffer.subspan(done, length), voices_, *bank_, score_);
    }
    if (playing) {
      blockPhase_ = static_cast<std::int32_t>((blockPhase_ + static_cast<std::int32_t>(length)) % blockLength_);
    }
    done += length;
  }
}

void LiveRenderer::Tap(std::span<const std::int16_t> samples) {
  while (!samples.empty()) {
    TapChunk chunk;
    chunk.generation = tapGeneration_;
    chunk.rate = rate_;
    chunk.count = static_cast<std::uint32_t>(std::min(samples.size(), TapChunk::kCapacity));
    std::copy_n(samples.begin(), chunk.count, chunk.samples.begin());
    if (!channels_.tap.try_enqueue(chunk)) channels_.droppedTapSamples.fetch_add(chunk.count);
    samples = samples.subspan(chunk.count);
  }
}

void LiveRenderer::Render(std::span<std::int16_t> buffer) noexcept {
  std::int64_t callbackTime = 0;
  LiveCommand command;
  while (channels_.commands.try_dequeue(command)) {
    Apply(command, callbackTime, static_cast<std::uint32_t>(buffer.size()));
  }
  while (channels_.midi.try_dequeue(command)) {
    Apply(command, callbackTime, static_cast<std::uint32_t>(buffer.size()));
  }
  if (feedStopped_ || bank_ == nullptr) {
    std::fill(buffer.begin(), buffer.end(), std::int16_t{0});
  } else {
    // Below 50 Hz there are no 20 ms blocks to count: such a score ends at once.
    if ((score_ != nullptr || player_ != nullptr) && blockLength_ <= 0) FinishScore();
    Mix(buffer);
    if (tapOn_) Tap(buffer);
  }
  Publish();
}

void LiveRenderer::Publish() {
  if (channels_.commandsWaiting.load(std::memory_order_relaxed)) news_ = true;
  if (changed_) {
    LiveEvent event;
    event.type = LiveEvent::Type::Snapshot;
    for (int slot = 0; slot < kVoiceCount; ++slot) {
      event.table.keys[slot] = static_cast<std::int8_t>(voices_.KeyInSlot(slot));
      event.table.owners[slot] = static_cast<std::int8_t>(voices_.OwnerInSlot(slot));
    }
    event.appliedSeq = appliedSeq_;
    event.repaintAll = paintLost_;
    // When the queue is full the snapshot waits for the next buffer.
    if (channels_.events.try_enqueue(event)) {
      changed_ = false;
      paintLost_ = false;
      news_ = true;
    }
  }
  if (news_) {
    news_ = false;
    if (channels_.post) channels_.post();
  }
}

}  // namespace tonefield

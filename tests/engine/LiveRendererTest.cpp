#include "engine/LiveRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/LiveEngine.h"
#include "engine/LiveTestSupport.h"
#include "keyboard/BlackKeyPattern.h"
#include "fakes/ThreadedWaveOut.h"

namespace tonefield {
namespace {

using testing::kBlock;
using testing::kRate;
using testing::RecordingClient;
using testing::ReferenceEvent;

// A live engine whose device the test plays by hand: Render is called on
// the test's thread between the commands, as a driver's thread would.
class LiveEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live.SetOutputRate(kRate);
    KeyWaveBank& bank = live.SpareBank();
    bank = testing::RampBank();
    live.UseBank(bank);
    live.DeviceStarted();
  }
  std::vector<std::int16_t> Play(std::size_t samples) {
    std::vector<std::int16_t> buffer(samples, 0x5555);
    live.renderer().Render(buffer);
    played.insert(played.end(), buffer.begin(), buffer.end());
    return buffer;
  }

  RecordingClient client;
  LiveEngine live{client};
  std::vector<std::int16_t> played;
};

TEST(DefaultBuffer, IsThePowerOfTwoNearestFiveMilliseconds) {
  for (auto [rate, samples] : {std::pair{11025u, 64u}, {22050u, 128u}, {44100u, 256u}, {48000u, 256u},
                               {8000u, 32u}, {96000u, 512u}, {100u, 16u}}) {
    EXPECT_EQ(DefaultBufferSamples(rate), samples) << rate;
  }
}

TEST_F(LiveEngineTest, EventsAtKnownPositionsSoundExactlyAsTheOfflineMixerWhateverTheBuffers) {
  Sequencer reference;
  testing::FillScore(reference, 500);
  std::multimap<std::size_t, ReferenceEvent> events;
  const std::size_t sizes[] = {37, 64, 220, 1, 500, 13, 256};
  std::size_t at = 0;
  auto play = [&](int buffers) {
    for (int i = 0; i < buffers; ++i) {
      Play(sizes[(at / 7 + static_cast<std::size_t>(i)) % 7]);
      at = played.size();
    }
    live.Drain();
  };
  live.NoteOn(0, 12);
  events.insert({at, {ReferenceEvent::NoteOn, 0, 12}});
  play(3);
  live.NoteOn(0, 14);
  live.NoteOn(0, 12);  // a re-trigger
  events.insert({at, {ReferenceEvent::NoteOn, 0, 14}});
  events.insert({at, {ReferenceEvent::NoteOn, 0, 12}});
  play(2);
  Sequencer& score = live.SpareSequencer();
  testing::FillScore(score, 500);
  live.StartScore(score);
  events.insert({at, {ReferenceEvent::StartScore}});
  play(9);
  live.SetSamplesPerTick(350);
  live.NoteOff(0, 14);
  events.insert({at, {ReferenceEvent::Tempo, 0, 350}});
  events.insert({at, {ReferenceEvent::NoteOff, 0, 14}});
  play(6);
  for (int k = 0; k < 9; ++k) live.NoteOn(0, k);  // the ninth steals
  for (int k = 0; k < 9; ++k) events.insert({at, {ReferenceEvent::NoteOn, 0, k}});
  play(40);
  live.AllNotesOff();
  events.insert({at, {ReferenceEvent::AllOff}});
  play(2);

  ASSERT_GT(played.size(), 8000u);
  const std::vector<std::int16_t> expected = testing::ReferenceRender(testing::RampBank(), reference, events, played.size());
  ASSERT_NE(expected, std::vector<std::int16_t>(expected.size(), 0));
  EXPECT_EQ(played, expected);
  EXPECT_EQ(live.renderer().score(), nullptr) << "the score ended";
}

TEST_F(LiveEngineTest, TheScoreEndsOnABlockStartCountedFromItsStartAndReportsItsGeneration) {
  Play(100);  // the score starts in the middle of the device's rhythm
  Sequencer& score = live.SpareSequencer();
  testing::FillScore(score, 300);
  const std::uint64_t generation = live.StartScore(score);
  std::size_t samples = 0;
  do {
    Play(64);
    samples += 64;
  } while (live.renderer().score() != nullptr && samples < 100000);
  // The longest track lasts 12 ticks of 300 samples: the test at the start
  // of block 17 (3740 samples after the start) finds every track finished.
  EXPECT_EQ(live.FinishedScore(), generation);
  EXPECT_EQ(live.renderer().blockPhase(), 0);
  EXPECT_GT(samples, 3740u);
  EXPECT_LE(samples, 3740u + 64u);
  live.Drain();
  Sequencer& next = live.SpareSequencer();
  EXPECT_NE(&next, &score) << "the last score stays readable";
}

TEST_F(LiveEngineTest, AStoppedFeedIsAcknowledgedPlaysSilenceAndAdvancesNothing) {
  live.NoteOn(0, 3);
  Play(50);
  live.StopFeed();
  EXPECT_FALSE(live.Drained());
  EXPECT_EQ(Play(64), std::vector<std::int16_t>(64, 0));
  EXPECT_TRUE(live.Drained());
  live.NoteOn(0, 4);
  Play(64);
  live.Drain();
  EXPECT_EQ(live.renderer().voices().PositionInSlot(0), 50);
  EXPECT_EQ(live.renderer().voices().PositionInSlot(1), 0) << "started, not advanced";
  EXPECT_EQ(client.paints.back(), (std::pair<int, std::uint32_t>{4, kKeyColourSounding}));
  live.ResumeFeed();
  Play(10);
  EXPECT_EQ(live.renderer().voices().PositionInSlot(0), 60);
}

TEST_F(LiveEngineTest, ANewBankComesInWholeAndTheOldOneComesBackForReuse) {
  const KeyWaveBank* first = live.renderer().bank();
  live.NoteOn(0, 0);
  Play(280);
  KeyWaveBank& second = live.SpareBank();
  ASSERT_NE(&second, first);
  second = testing::RampBank(5);
  second.keys[0].samples.resize(200);  // shorter than what was played
  live.UseBank(second);
  EXPECT_NE(&live.SpareBank(), first) << "not back yet";
  Play(10);
  EXPECT_EQ(live.renderer().bank(), &second);
  EXPECT_EQ(live.renderer().voices().PositionInSlot(0), -1) << "finished, never read past the end";
  live.Drain();
  EXPECT_EQ(&live.SpareBank(), first);
}

TEST_F(LiveEngineTest, TheMirrorCountsQueuedNotesAtOnceAndFollowsTheAudioThread) {
  live.NoteOn(0, 7);
  EXPECT_TRUE(live.mirror().HoldsKey(7));
  EXPECT_FALSE(live.renderer().voices().HoldsKey(7));
  Sequencer& score = live.SpareSequencer();
  testing::FillScore(score, 100);
  live.StartScore(score);
  Play(120);  // the score's first notes start on the audio thread
  live.Drain();
  EXPECT_TRUE(live.mirror().HoldsKey(0));
  EXPECT_TRUE(live.mirror().HoldsKey(7));
  EXPECT_EQ(live.mirror().OwnerInSlot(1), 0);
  live.NoteOff(0, 7);
  EXPECT_FALSE(live.mirror().HoldsKey(7));
  Play(1);
  live.Drain();
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    EXPECT_EQ(live.mirror().KeyInSlot(slot), live.renderer().voices().KeyInSlot(slot)) << slot;
  }
}

TEST_F(LiveEngineTest, TheTapCarriesExactlyTheRenderedSamplesOfItsRecording) {
  live.NoteOn(0, 20);
  Play(30);
  live.TapOn(7);
  const std::vector<std::int16_t> a = Play(700);
  live.StopFeed();
  Play(64);  // silence of a stopped feed is not recorded
  live.ResumeFeed();
  const std::vector<std::int16_t> b = Play(100);
  live.TapOff();
  Play(64);
  std::vector<std::int16_t> tapped;
  TapChunk chunk;
  while (live.channels().tap.try_dequeue(chunk)) {
    EXPECT_EQ(chunk.generation, 7u);
    EXPECT_EQ(chunk.rate, kRate);
    tapped.insert(tapped.end(), chunk.samples.begin(), chunk.samples.begin() + chunk.count);
  }
  std::vector<std::int16_t> expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(tapped, expected);
}

TEST_F(LiveEngineTest, ANoteCarriesItsInputTimeToTheCallbackThatStartsIt) {
  live.NoteOn(0, 9, 12345);
  live.NoteOn(0, 10);
  Play(64);
  live.Drain();
  ASSERT_EQ(client.latencies.size(), 1u);
  EXPECT_EQ(client.latencies[0].key, 9);
  EXPECT_EQ(client.latencies[0].inputTime, 12345);
  EXPECT_GT(client.latencies[0].callbackTime, 12345);
  EXPECT_EQ(client.latencies[0].bufferSamples, 64u);
}

TEST(LiveEngineWithoutDevice, AppliesCommandsAtOnceAndPaintsWithoutSound) {
  RecordingClient client;
  LiveEngine live(client);
  live.NoteOn(0, 5);
  EXPECT_EQ(client.paints, (std::vector<std::pair<int, std::uint32_t>>{{5, kKeyColourSounding}}));
  EXPECT_EQ(live.renderer().voices().PositionInSlot(0), 0);
  live.StopFeed();
  EXPECT_TRUE(live.Drained());
  live.NoteOff(0, 5);
  EXPECT_EQ(client.paints.back(), (std::pair<int, std::uint32_t>{5, KeyRestColour(5)}));
}

TEST(LiveEngineThreaded, ASongPlayedByADriverThreadIsTheOfflineRender) {
  RecordingClient client;
  LiveEngine live(client);
  live.SetOutputRate(kRate);
  KeyWaveBank& bank = live.SpareBank();
  bank = testing::RampBank();
  live.UseBank(bank);
  fakes::ThreadedWaveOut device(std::chrono::microseconds(200));
  ASSERT_EQ(device.Open(WaveFormat{1, 1, kRate, kRate * 2, 2, 16}, 64, live.renderer()), kMmSuccess);
  live.DeviceStarted();
  ASSERT_EQ(device.Start(), kMmSuccess);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));

  Sequencer& score = live.SpareSequencer();
  testing::FillScore(score, 400);
  const std::uint64_t generation = live.StartScore(score);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (live.FinishedScore() != generation && std::chrono::steady_clock::now() < until) {
    live.Drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(live.FinishedScore(), generation);
  const std::size_t buffers = device.Buffers();
  while (device.Buffers() < buffers + 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(device.Close(), kMmSuccess);
  live.DeviceStopped();

  const std::vector<std::int16_t> played = device.Played();
  Sequencer reference;
  testing::FillScore(reference, 400);
  const std::vector<std::int16_t> expected = testing::ReferenceRender(
      testing::RampBank(), reference, {{0, {ReferenceEvent::StartScore}}}, 22 * kBlock);
  auto firstSound = [](const std::vector<std::int16_t>& s) {
    return static_cast<std::size_t>(std::find_if(s.begin(), s.end(), [](std::int16_t v) { return v != 0; }) - s.begin());
  };
  const std::size_t start = firstSound(played) - firstSound(expected);
  EXPECT_EQ(start % 64, 0u) << "the score starts on a buffer's first sample";
  ASSERT_GE(played.size(), start + expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played.begin() + static_cast<std::ptrdiff_t>(start)));
  EXPECT_TRUE(std::all_of(played.begin() + static_cast<std::ptrdiff_t>(start + expected.size()), played.end(),
                          [](std::int16_t v) { return v == 0; }));
}

}  // namespace
}  // namespace tonefield

// No command is lost when the queue to the audio thread is full: a device
// that stops calling back while the GUI keeps posting gets every state
// change, in order, once it calls back again.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/LiveEngine.h"
#include "engine/LiveTestSupport.h"

namespace tonefield {
namespace {

using testing::kRate;
using testing::RecordingClient;

// One step of what the GUI does: the same script drives an engine whose
// device has stalled and one without a device, which applies at once.
struct Step {
  enum Kind { Press, Release, AllOff, Tempo, Start, Stop, Bank, FeedStop } kind;
  int key = 0;
};

std::vector<Step> BusyGuiScript(int count, unsigned seed) {
  std::mt19937 random(seed);
  // The feed stays stopped, so nothing advances on either side and the
  // two end states compare exactly.
  std::vector<Step> steps{{Step::FeedStop}};
  bool held[6] = {};
  for (int i = 0; i < count; ++i) {
    const int pick = static_cast<int>(random() % 100);
    const int key = static_cast<int>(random() % 6) * 5;
    if (pick < 70) {
      bool& h = held[key / 5];
      steps.push_back({h ? Step::Release : Step::Press, key});
      h = !h;
    } else if (pick < 75) {
      steps.push_back({Step::AllOff});
      for (bool& h : held) h = false;
    } else if (pick < 85) {
      steps.push_back({Step::Tempo, 100 + pick});
    } else if (pick < 87) {
      steps.push_back({Step::Start});
    } else if (pick < 92) {
      steps.push_back({Step::Stop});
    } else if (pick < 93) {
      steps.push_back({Step::Bank});
    } else {
      steps.push_back({Step::FeedStop});
    }
  }
  // The last word on the feed and the bank, which a reopen waits for.
  steps.push_back({Step::Bank});
  steps.push_back({Step::FeedStop});
  return steps;
}

struct Engine {
  RecordingClient client;
  LiveEngine live{client};
  const KeyWaveBank* lastBank = nullptr;
  int banks = 0;

  Engine() {
    live.SetOutputRate(kRate);
    KeyWaveBank& bank = live.SpareBank();
    bank = testing::RampBank();
    live.UseBank(bank);
  }
  void Do(const Step& step) {
    switch (step.kind) {
      case Step::Press: live.NoteOn(0, step.key); break;
      case Step::Release: live.NoteOff(0, step.key); break;
      case Step::AllOff: live.AllNotesOff(); break;
      case Step::Tempo: live.SetSamplesPerTick(step.key); break;
      case Step::Start: {
        Sequencer& score = live.SpareSequencer();
        testing::FillScore(score, 300);
        live.StartScore(score);
        break;
      }
      case Step::Stop: live.StopScore(); break;
      case Step::Bank: {
        KeyWaveBank& bank = live.SpareBank();
        bank = testing::RampBank(++banks);
        live.UseBank(bank);
        lastBank = &bank;
        break;
      }
      case Step::FeedStop: live.StopFeed(); break;
    }
  }
};

std::vector<int> Keys(const VoiceTable& voices) {
  std::vector<int> keys;
  for (int slot = 0; slot < kVoiceCount; ++slot) keys.push_back(voices.KeyInSlot(slot) * 100 + voices.OwnerInSlot(slot));
  return keys;
}

TEST(CommandBacklog, AStalledDeviceGetsEveryStateCommandOnceItCallsBackAgain) {
  const std::vector<Step> script = BusyGuiScript(12000, 7);
  Engine stalled;
  stalled.live.DeviceStarted();
  std::vector<std::int16_t> buffer(64);
  stalled.live.renderer().Render(buffer);
  // The device stops calling back; the GUI keeps posting, more than the
  // queue holds.
  for (const Step& step : script) stalled.Do(step);
  EXPECT_GT(stalled.live.waitingCommands(), 0u) << "the script must overflow the queue";
  EXPECT_FALSE(stalled.live.Drained());

  // The device calls back again; the GUI drains when woken.
  for (int i = 0; i < 200 && (stalled.live.waitingCommands() > 0 || !stalled.live.Drained()); ++i) {
    stalled.live.renderer().Render(buffer);
    stalled.live.Drain();
  }
  stalled.live.renderer().Render(buffer);
  stalled.live.Drain();
  EXPECT_EQ(stalled.live.waitingCommands(), 0u);
  EXPECT_TRUE(stalled.live.Drained()) << "the last feed stop arrived";
  EXPECT_EQ(stalled.live.renderer().bank(), stalled.lastBank) << "the last bank arrived";
  EXPECT_TRUE(stalled.live.renderer().feedStopped());

  Engine direct;
  for (const Step& step : script) direct.Do(step);
  EXPECT_EQ(Keys(stalled.live.renderer().voices()), Keys(direct.live.renderer().voices()));
  EXPECT_EQ(Keys(stalled.live.mirror()), Keys(direct.live.renderer().voices())) << "the mirror agrees";
  EXPECT_EQ(stalled.live.renderer().score() != nullptr, direct.live.renderer().score() != nullptr);
  EXPECT_EQ(stalled.client.paints.empty(), false);
}

// Filling the queue with tempo changes, then what waits behind them:
// only work a later command makes redundant is dropped.
TEST(CommandBacklog, OnlyRedundantWorkIsDroppedWhileWaiting) {
  struct Case {
    const char* name;
    std::vector<Step> waiting;
    std::uint64_t dropped;
  };
  const Case cases[] = {
      {"a note-on ended by its note-off", {{Step::Press, 5}, {Step::Release, 5}}, 1},
      {"a note-off of another key ends nothing", {{Step::Press, 5}, {Step::Release, 10}}, 0},
      {"all notes off ends every earlier note", {{Step::Press, 5}, {Step::Press, 10}, {Step::Release, 5}, {Step::AllOff}}, 3},
      {"a bank swap and a feed stop are never dropped", {{Step::Bank}, {Step::FeedStop}, {Step::Bank}, {Step::FeedStop}}, 0},
      {"a tempo replaced at once", {{Step::Tempo, 120}, {Step::Tempo, 130}}, 1},
      {"a tempo before a score start stays", {{Step::Tempo, 120}, {Step::Start}, {Step::Tempo, 130}}, 0},
  };
  for (const Case& c : cases) {
    Engine engine;
    engine.live.DeviceStarted();
    while (engine.live.waitingCommands() == 0) engine.live.StopScore();
    const std::uint64_t before = engine.live.droppedCommands();
    for (const Step& step : c.waiting) engine.Do(step);
    EXPECT_EQ(engine.live.droppedCommands() - before, c.dropped) << c.name;
    std::vector<std::int16_t> buffer(64);
    for (int i = 0; i < 20; ++i) {
      engine.live.renderer().Render(buffer);
      engine.live.Drain();
    }
    EXPECT_EQ(engine.live.waitingCommands(), 0u) << c.name;
    EXPECT_EQ(Keys(engine.live.mirror()), Keys(engine.live.renderer().voices())) << c.name;
  }
}

TEST(CommandBacklog, ADeviceThatStopsForGoodHandsTheWaitingCommandsToTheGui) {
  Engine engine;
  engine.live.DeviceStarted();
  while (engine.live.waitingCommands() == 0) engine.live.SetSamplesPerTick(400);
  engine.live.NoteOn(0, 7);
  engine.Do({Step::Bank});
  engine.live.StopFeed();
  engine.live.DeviceStopped();
  EXPECT_EQ(engine.live.waitingCommands(), 0u);
  EXPECT_TRUE(engine.live.Drained());
  EXPECT_EQ(engine.live.renderer().bank(), engine.lastBank);
  EXPECT_EQ(engine.live.renderer().voices().KeyInSlot(0), 7);
}

}  // namespace
}  // namespace tonefield

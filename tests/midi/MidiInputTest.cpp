// MIDI messages through the live engine: the MIDI input queues commands for
// its own owner, the audio thread applies them at the start of its next
// buffer, and the voices decide who keeps a key.
#include "midi/MidiInput.h"
#include "midi/MidiWaitingCommands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <initializer_list>
#include <thread>
#include <vector>

#include "engine/LiveEngine.h"
#include "engine/LiveTestSupport.h"
#include "fakes/ThreadedWaveOut.h"
#include "keyboard/BlackKeyPattern.h"

namespace tonefield {
namespace {

using testing::RecordingClient;

class MidiThroughTheEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    live.SetOutputRate(testing::kRate);
    KeyWaveBank& lent = live.SpareBank();
    lent = testing::RampBank();
    live.UseBank(lent);
    live.channels().wake = [this] { wakes.fetch_add(1); };
    live.channels().post = [this] { wakes.fetch_add(1); };  // the renderer's publish
  }
  void Send(std::initializer_list<int> bytes, std::int64_t at = 0) {
    std::vector<std::uint8_t> message;
    for (int b : bytes) message.push_back(static_cast<std::uint8_t>(b));
    midi.Receive(message, at);
  }
  std::vector<std::int16_t> Play(std::size_t samples) {
    std::vector<std::int16_t> buffer(samples);
    live.renderer().Render(buffer);
    live.Drain();
    return buffer;
  }
  const VoiceTable& Voices() const { return live.renderer().voices(); }

  RecordingClient client;
  LiveEngine live{client};
  MidiInput midi{live.channels()};
  std::atomic<int> wakes{0};
  const KeyWaveBank bank = testing::RampBank();
};

std::vector<std::int16_t> Scaled(const std::vector<std::int16_t>& wave, std::size_t count, std::int32_t gain) {
  std::vector<std::int16_t> out;
  for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<std::int16_t>(ScaleByGain(wave[i], gain)));
  return out;
}

TEST_F(MidiThroughTheEngine, ANoteSoundsFromTheNextBufferScaledByItsVelocityAndFull127IsTheKeyWave) {
  live.DeviceStarted();
  Send({0x90, 60, 127});
  EXPECT_EQ(Voices().SoundingCount(), 0) << "not before the next buffer";
  const std::vector<std::int16_t> full = Play(100);
  EXPECT_EQ(full, std::vector<std::int16_t>(bank.keys[12].samples.begin(), bank.keys[12].samples.begin() + 100));
  EXPECT_EQ(Voices().OwnerInSlot(0), kMidiOwner);
  EXPECT_EQ(client.paints, (std::vector<std::pair<int, std::uint32_t>>{{12, kKeyColourSounding}}));
  EXPECT_TRUE(live.mirror().HoldsKey(12)) << "the GUI sees the MIDI note in the snapshot";

  const int wakesBefore = wakes.load();
  Send({0x80, 60, 0});
  Send({0x91, 61, 64});  // key 13 at half
  EXPECT_EQ(wakes.load(), wakesBefore) << "with a device running, the audio thread wakes the GUI";
  const std::vector<std::int16_t> half = Play(100);
  EXPECT_EQ(half, Scaled(bank.keys[13].samples, 100, 16513));
  EXPECT_EQ(client.paints.back(), (std::pair<int, std::uint32_t>{13, kKeyColourSounding}));
  EXPECT_FALSE(Voices().HoldsKey(12));
}

TEST_F(MidiThroughTheEngine, MidiNotesYieldToOtherOwnersKeysAndOnlyTheirOwnReleaseEndsThem) {
  live.DeviceStarted();
  live.NoteOn(0, 12);      // PC key
  Send({0x90, 60, 100});   // the same key from MIDI: left to the PC key
  Send({0x90, 62, 100});   // key 14
  Play(10);
  EXPECT_EQ(Voices().OwnerInSlot(0), 0);
  EXPECT_EQ(Voices().GainInSlot(0), kUnityGain);
  Send({0x80, 60, 0});     // ends nothing: the PC key holds it
  live.NoteOn(0, 14);      // a click takes the MIDI note over
  Play(10);
  EXPECT_EQ(Voices().KeyInSlot(0), 12);
  EXPECT_EQ(Voices().OwnerInSlot(1), 0);
  EXPECT_EQ(Voices().PositionInSlot(1), 10) << "re-triggered by the click";
  Send({0x80, 62, 0});     // ends nothing: the click holds it now
  Play(10);
  EXPECT_EQ(Voices().SoundingCount(), 2);
  live.NoteOff(0, 12);
  live.NoteOff(0, 14);
  Play(1);
  EXPECT_EQ(Voices().SoundingCount(), 0);
}

TEST_F(MidiThroughTheEngine, ANinthNoteStealsTheOldestWhoeverOwnsItAndTheMirrorAgrees) {
  live.DeviceStarted();
  for (int k = 0; k < 8; ++k) live.NoteOn(0, k);
  Send({0x90, 48 + 20, 127});  // the same buffer: applied after the GUI's notes
  Play(5);
  EXPECT_EQ(Voices().KeyInSlot(0), 1);
  EXPECT_EQ(Voices().KeyInSlot(7), 20);
  EXPECT_EQ(client.paints[client.paints.size() - 2], (std::pair<int, std::uint32_t>{0, KeyRestColour(0)}));
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    EXPECT_EQ(live.mirror().KeyInSlot(slot), Voices().KeyInSlot(slot)) << slot;
    EXPECT_EQ(live.mirror().OwnerInSlot(slot), Voices().OwnerInSlot(slot)) << slot;
  }
  live.NoteOn(0, 30);  // and a PC key steals the oldest again
  Play(5);
  EXPECT_EQ(Voices().KeyInSlot(6), 20);
  EXPECT_EQ(Voices().OwnerInSlot(6), kMidiOwner);
}

TEST_F(MidiThroughTheEngine, AllNotesOffEndsEveryMidiNoteAndNothingElse) {
  live.DeviceStarted();
  live.NoteOn(0, 3);
  live.NoteOn(4, 30);  // as score track 4 would
  Send({0xB0, 64, 127});
  for (int note : {60, 61, 70}) Send({0x90, note, 90});
  Send({0x80, 61, 0});  // sustained
  Play(200);
  EXPECT_EQ(Voices().SoundingCount(), 5);
  Send({0xB0, 123, 0});
  Play(1);
  EXPECT_EQ(Voices().SoundingCount(), 2);
  for (int slot = 0; slot < 2; ++slot) EXPECT_NE(Voices().OwnerInSlot(slot), kMidiOwner);
  EXPECT_TRUE(Voices().AllGainsUnity());
}

// A connection lost with notes down: the release ends the MIDI notes (keys
// back to their colour) and the notes' own late note-offs change nothing.
TEST_F(MidiThroughTheEngine, AReleaseEndsTheMidiNotesWhicheverWayItIsAskedFor) {
  enum class Way { Directly, BeforeTheNextMessage, AtTheNextService };
  for (Way way : {Way::Directly, Way::BeforeTheNextMessage, Way::AtTheNextService}) {
    live.DeviceStarted();
    live.NoteOn(0, 3);
    Send({0xB1, 64, 127});
    Send({0x90, 60, 100});
    Send({0x91, 62, 100});
    Send({0x91, 62, 0});  // sustained
    Play(10);
    ASSERT_EQ(Voices().SoundingCount(), 3);
    switch (way) {
      case Way::Directly: midi.ReleaseAll(); break;
      case Way::BeforeTheNextMessage:
        midi.RequestRelease();
        Play(1);
        EXPECT_EQ(Voices().SoundingCount(), 3) << "not before the producer acts";
        Send({0xB0, 7, 100});
        break;
      case Way::AtTheNextService:
        midi.RequestRelease();
        midi.Service();
        midi.Service();  // once only
        break;
    }
    Play(1);
    EXPECT_EQ(Voices().SoundingCount(), 1) << static_cast<int>(way);
    EXPECT_EQ(Voices().OwnerInSlot(0), 0);
    EXPECT_EQ(client.paints.back(), (std::pair<int, std::uint32_t>{14, KeyRestColour(14)}));
    Send({0x91, 64, 100});  // channel 2's pedal is up again after the release
    Send({0x91, 64, 0});
    Send({0x80, 60, 0});
    Play(1);
    EXPECT_EQ(Voices().SoundingCount(), 1);
    live.NoteOff(0, 3);
    Play(1);
  }
}

TEST_F(MidiThroughTheEngine, WithoutADeviceTheMidiInputWakesTheGuiWhichAppliesItsNotes) {
  Send({0x90, 60, 127});
  EXPECT_EQ(wakes.load(), 1);
  EXPECT_TRUE(client.paints.empty()) << "nothing is applied on the MIDI thread";
  live.Drain();  // what the wake-up makes the GUI do
  EXPECT_EQ(Voices().KeyInSlot(0), 12);
  EXPECT_EQ(client.paints, (std::vector<std::pair<int, std::uint32_t>>{{12, kKeyColourSounding}}));
  Send({0xB0, 7, 100});  // a message that means nothing wakes nobody
  EXPECT_EQ(wakes.load(), 1 + 1) << "the drain's own publish woke once";
}

TEST_F(MidiThroughTheEngine, NotesCarryTheirReceiveTimeToTheLatencyProbeOnlyWhenAsked) {
  live.DeviceStarted();
  Send({0x90, 60, 127}, 111);
  Play(64);
  EXPECT_TRUE(client.latencies.empty());
  midi.Configure({}, true);
  Send({0x90, 62, 100}, 12345);
  Send({0x90, 60, 100}, 999);  // struck again under the same owner: a new start, stamped
  Play(64);
  ASSERT_EQ(client.latencies.size(), 2u);
  EXPECT_EQ(client.latencies[0].key, 14);
  EXPECT_EQ(client.latencies[0].owner, kMidiOwner);
  EXPECT_EQ(client.latencies[0].inputTime, 12345);
  EXPECT_EQ(client.latencies[0].bufferSamples, 64u);
  live.NoteOn(0, 20);
  Send({0x90, 48 + 20, 100}, 555);  // yields to the PC key: no note, no stamp
  Play(64);
  EXPECT_EQ(client.latencies.size(), 2u);
}

// A device that stops calling back while the keyboard keeps playing: the
// queue fills, the rest waits on the MIDI side without blocking, redundant
// pairs fold away, and once the device runs again every key that went up
// is up and the one still held sounds. Nothing is dropped.
TEST_F(MidiThroughTheEngine, AFullQueueKeepsNoteOffsWaitingAndSendsThemWhenThereIsRoom) {
  live.DeviceStarted();
  for (std::size_t i = 0; i < 4 * LiveChannels::kMidiCapacity; ++i) {
    const int note = 48 + static_cast<int>(i % 36);
    Send({0x90, note, 100});
    Send({0x80, note, 0});
  }
  Send({0xB0, 64, 127});  // the pedal down: keys let go keep sounding ...
  Send({0x90, 50, 100});
  Send({0x80, 50, 0});
  Send({0xB0, 64, 0});    // ... until it comes up
  Send({0x90, 60, 100});  // held
  EXPECT_GT(midi.waiting().size(), 0u);
  EXPECT_TRUE(midi.HasWaiting());
  for (int i = 0; i < 20 && midi.HasWaiting(); ++i) {
    Play(1);
    midi.SendWaiting();  // the GUI's timer, for a port that is quiet now
  }
  Play(1);
  EXPECT_FALSE(midi.HasWaiting());
  EXPECT_EQ(live.channels().droppedMidi.load(), 0u);
  EXPECT_GT(midi.waiting().redundantDropped(), 0u) << "pairs folded while waiting";
  EXPECT_EQ(Voices().SoundingCount(), 1);
  EXPECT_EQ(Voices().KeyInSlot(0), 12);
  Send({0x80, 60, 0});
  Play(1);
  EXPECT_EQ(Voices().SoundingCount(), 0);
}

// What waits when the store fills: redundant commands go, order holds.
TEST(MidiWaitingCommands, FoldsRedundantCommandsAndKeepsEveryNoteOff) {
  const auto on = [](int key) { return LiveCommand{.type = LiveCommandType::NoteOnYielding, .owner = kMidiOwner, .key = key}; };
  const auto off = [](int key) { return LiveCommand{.type = LiveCommandType::NoteOff, .owner = kMidiOwner, .key = key}; };
  const LiveCommand release{.type = LiveCommandType::ReleaseOwner, .owner = kMidiOwner};
  struct Case {
    const char* name;
    std::vector<LiveCommand> sent;  // after a store filled with on(5)/off(5) pairs
    std::vector<std::pair<LiveCommandType, int>> left;
  };
  const std::vector<Case> cases{
      {"an off supersedes older ons and offs of its key", {off(7)},
       {{LiveCommandType::NoteOff, 5}, {LiveCommandType::NoteOff, 7}}},
      {"a held key stays after its last off", {on(5)},
       {{LiveCommandType::NoteOff, 5}, {LiveCommandType::NoteOnYielding, 5}}},
      {"a release keeps its place behind what waits", {release, on(9)},
       {{LiveCommandType::NoteOff, 5}, {LiveCommandType::ReleaseOwner, -1}, {LiveCommandType::NoteOnYielding, 9}}},
  };
  // A release supersedes everything older when the store folds.
  {
    MidiWaitingCommands store;
    for (int key = 0; key < 100; ++key) store.Hold(off(key));
    store.Hold(release);
    for (std::size_t i = store.size(); i <= MidiWaitingCommands::kCapacity; ++i) store.Hold(release);
    EXPECT_LE(store.size(), 2u);
    EXPECT_EQ(store.lost(), 0u);
  }
  for (const Case& c : cases) {
    MidiWaitingCommands store;
    for (std::size_t i = 0; i < MidiWaitingCommands::kCapacity / 2; ++i) {
      store.Hold(on(5));
      store.Hold(off(5));
    }
    for (const LiveCommand& command : c.sent) store.Hold(command);
    std::vector<std::pair<LiveCommandType, int>> left;
    store.SendWhile([&left](const LiveCommand& command) {
      left.emplace_back(command.type, command.type == LiveCommandType::ReleaseOwner ? -1 : command.key);
      return true;
    });
    EXPECT_EQ(left, c.left) << c.name;
    EXPECT_EQ(store.lost(), 0u) << c.name;
  }
  // A release and every key waiting (off, then on; the last key only
  // off): nothing is redundant, yet a note-off still finds room, at the
  // cost of the oldest waiting note-on.
  MidiWaitingCommands full;
  full.Hold(release);
  for (int key = 0; key + 1 < MidiWaitingCommands::kKeys; ++key) {
    full.Hold(off(key));
    full.Hold(on(key));
  }
  full.Hold(off(MidiWaitingCommands::kKeys - 1));
  ASSERT_EQ(full.size(), MidiWaitingCommands::kCapacity);
  full.Hold(off(3));
  std::vector<LiveCommand> left;
  full.SendWhile([&left](const LiveCommand& command) {
    left.push_back(command);
    return true;
  });
  ASSERT_FALSE(left.empty());
  EXPECT_EQ(left.back().type, LiveCommandType::NoteOff);
  EXPECT_EQ(left.back().key, 3);
  EXPECT_EQ(full.lost(), 1u) << "one note-on, never an off";
}

// A MIDI thread and a driver thread at once: every note started is ended,
// the pedal included, and the GUI's mirror ends as the audio thread's table.
TEST(MidiThreaded, NotesFromTheirOwnThreadEndWhereTheyShould) {
  RecordingClient client;
  LiveEngine live(client);
  live.SetOutputRate(testing::kRate);
  KeyWaveBank& bank = live.SpareBank();
  bank = testing::RampBank();
  live.UseBank(bank);
  MidiInput midi(live.channels());
  fakes::ThreadedWaveOut device(std::chrono::microseconds(100));
  ASSERT_EQ(device.Open(WaveFormat{1, 1, testing::kRate, testing::kRate * 2, 2, 16}, 32, live.renderer()), kMmSuccess);
  live.DeviceStarted();
  ASSERT_EQ(device.Start(), kMmSuccess);
  std::thread sender([&midi] {
    for (int round = 0; round < 300; ++round) {
      const std::uint8_t note = static_cast<std::uint8_t>(48 + round % 36);
      const std::uint8_t on[] = {0x90, note, static_cast<std::uint8_t>(1 + round % 127)};
      const std::uint8_t off[] = {0x80, note, 0};
      const std::uint8_t pedal[] = {0xB0, 64, static_cast<std::uint8_t>(round % 20 < 10 ? 127 : 0)};
      midi.Receive(on, 0);
      midi.Receive(pedal, 0);
      if (round % 3 != 0) midi.Receive(off, 0);
      if (round % 50 == 49) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::uint8_t pedalUp[] = {0xB0, 64, 0};
    midi.Receive(pedalUp, 0);
    for (int note = 48; note < 84; ++note) {
      const std::uint8_t off[] = {0x80, static_cast<std::uint8_t>(note), 0};
      midi.Receive(off, 0);
    }
  });
  for (int i = 0; i < 200; ++i) {
    live.NoteOn(0, 35 - i % 5);
    live.NoteOff(0, 35 - i % 5);
    live.Drain();
  }
  sender.join();
  const std::size_t buffers = device.Buffers();
  while (device.Buffers() < buffers + 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(device.Close(), kMmSuccess);
  live.DeviceStopped();
  EXPECT_EQ(live.channels().droppedMidi.load(), 0u);
  EXPECT_EQ(live.renderer().voices().SoundingCount(), 0);
  EXPECT_EQ(live.mirror().SoundingCount(), 0);
  EXPECT_GT(client.paints.size(), 100u);
}

}  // namespace
}  // namespace tonefield

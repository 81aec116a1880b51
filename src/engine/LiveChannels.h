// What passes between the GUI thread and the audio thread while the device
// runs: commands in, results out, each through a pre-sized single-producer
// single-consumer queue that never allocates on try_enqueue / try_dequeue.
// Notes from a MIDI input come through a queue of their own, whose only
// producer is the MIDI input's thread. Nothing else is shared but a few
// atomic counters and flags.
#pragma once

#include <readerwriterqueue/readerwriterqueue.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "common/Constants.h"
#include "common/KeyWaveBank.h"
#include "engine/SongPlayer.h"
#include "score/Sequencer.h"

namespace tonefield {

enum class LiveCommandType : std::uint8_t {
  NoteOn,           // owner, key; inputTime for the latency probe (0: none)
  NoteOff,          // owner, key
  NoteOnYielding,   // owner, key, value = gain; inputTime as NoteOn. Another owner's key is left alone
  ReleaseOwner,     // owner: every voice it holds ends
  AllNotesOff,
  StartScore,       // sequencer (rewound, samplesPerTick set), generation
  StopScore,
  SetSamplesPerTick,  // value
  StopFeed,         // render silence, advance nothing; acknowledged by seq
  ResumeFeed,
  SwapBank,         // bank; the previous bank is handed back
  TapOn,            // generation: samples go to the recording FIFO
  TapOff,
  StartPlayer,      // player (rewound, speed set), generation: a song other than a score
  SetPlayerSpeed,   // value
};

struct LiveCommand {
  LiveCommandType type = LiveCommandType::AllNotesOff;
  std::int32_t owner = 0;
  std::int32_t key = -1;
  std::int32_t value = 0;
  std::uint64_t generation = 0;
  std::uint64_t seq = 0;        // numbered by the GUI, 1 upward; 0 on the MIDI queue
  std::int64_t inputTime = 0;   // steady-clock nanoseconds of the input event
  Sequencer* sequencer = nullptr;
  const KeyWaveBank* bank = nullptr;
  SongPlayer* player = nullptr;
};

// The voice table as the audio thread last left it: keys and owners by slot.
struct VoiceSlots {
  std::array<std::int8_t, kVoiceCount> keys{};
  std::array<std::int8_t, kVoiceCount> owners{};
};

struct LiveEvent {
  enum class Type : std::uint8_t { Paint, Snapshot };
  Type type = Type::Paint;
  std::int8_t key = -1;        // Paint
  std::uint32_t colour = 0;    // Paint
  VoiceSlots table;            // Snapshot
  std::uint64_t appliedSeq = 0;  // Snapshot: every command up to here is applied
  bool repaintAll = false;     // Snapshot: paints were lost, repaint every key from it
};

// A bank, sequencer or song player the audio thread no longer uses.
struct LiveReturn {
  const KeyWaveBank* bank = nullptr;
  Sequencer* sequencer = nullptr;
  SongPlayer* player = nullptr;
};

// One note's way from the input event to the callback that started it.
struct LatencyRecord {
  std::int32_t key = -1;
  std::int32_t owner = 0;
  std::int64_t inputTime = 0;     // steady-clock ns
  std::int64_t callbackTime = 0;  // steady-clock ns at the start of the callback
  std::uint32_t bufferSamples = 0;
};

// Rendered samples for the performance recording, in order.
struct TapChunk {
  static constexpr std::size_t kCapacity = 512;
  std::uint64_t generation = 0;  // of the TapOn that started the recording
  std::uint32_t rate = 0;
  std::uint32_t count = 0;
  std::array<std::int16_t, kCapacity> samples{};
};

struct LiveChannels {
  static constexpr std::size_t kCommandCapacity = 4096;
  static constexpr std::size_t kEventCapacity = 4096;
  static constexpr std::size_t kReturnCapacity = 256;
  static constexpr std::size_t kMidiCapacity = 1024;
  static constexpr std::size_t kLatencyCapacity = 256;
  // About 20 s at 48000 Hz: room for a writer held up by a slow disk.
  static constexpr std::size_t kTapCapacity = 2048;

  moodycamel::ReaderWriterQueue<LiveCommand> commands{kCommandCapacity};
  moodycamel::ReaderWriterQueue<LiveCommand> midi{kMidiCapacity};
  moodycamel::ReaderWriterQueue<LiveEvent> events{kEventCapacity};
  moodycamel::ReaderWriterQueue<LiveReturn> returns{kReturnCapacity};
  moodycamel::ReaderWriterQueue<LatencyRecord> latencies{kLatencyCapacity};
  moodycamel::ReaderWriterQueue<TapChunk> tap{kTapCapacity};

  std::atomic<std::uint64_t> feedStopAck{0};     // seq of the last StopFeed applied
  std::atomic<std::uint64_t> finishedScore{0};   // generation of the last score or song player that ended
  std::atomic<std::uint64_t> droppedTapSamples{0};
  std::atomic<std::uint64_t> droppedMidi{0};      // MIDI commands that found the queue full
  // True while a device's thread consumes the queues. While false, a
  // producer other than the GUI wakes it, and the GUI applies the commands.
  std::atomic<bool> deviceRunning{false};
  // True while GUI commands wait for room in the command queue: the audio
  // thread then wakes the GUI after each buffer so they follow at once.
  std::atomic<bool> commandsWaiting{false};

  // Called from the MIDI input's thread while no device runs (and by other
  // helpers of the GUI); must not block.
  std::function<void()> wake;
  // Called from the audio thread when results are waiting; must make no
  // system call (the GUI looks for it on its own).
  std::function<void()> post;
};

}  // namespace tonefield

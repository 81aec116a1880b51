// The GUI thread's half of live play: it numbers and queues the commands for
// the LiveRenderer, lends it key-wave banks and sequencers (and takes them
// back), drains what it reports, and keeps a mirror of the voice table for
// the GUI's decisions. The mirror is the audio thread's last snapshot with
// the commands it has not applied yet played over it, so a key just pressed
// counts as held at once, and the mirror never drifts from the table.
// While no device runs, every command is applied here at once, and the MIDI
// input's notes whenever it wakes this thread. No command is lost: when the
// queue is full (a driver that stopped calling back), commands wait here in
// order and go out as soon as there is room; only work that a later command
// makes redundant (a note-on ended by a later note-off) is dropped.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "engine/LiveChannels.h"
#include "engine/LiveRenderer.h"
#include "engine/VoiceTable.h"

namespace tonefield {

class LiveEngineClient {
 public:
  virtual void PaintKey(int key, std::uint32_t colour) = 0;
  virtual void LatencyMeasured(const LatencyRecord& record) = 0;

 protected:
  ~LiveEngineClient() = default;
};

class LiveEngine {
 public:
  explicit LiveEngine(LiveEngineClient& client);
  ~LiveEngine();
  LiveEngine(const LiveEngine&) = delete;
  LiveEngine& operator=(const LiveEngine&) = delete;

  // What the device pulls from.
  LiveRenderer& renderer() { return renderer_; }
  const LiveRenderer& renderer() const { return renderer_; }
  LiveChannels& channels() { return channels_; }

  // The device thread starts calling Render / has stopped for good. While
  // stopped, commands are applied on this thread as they are queued.
  void DeviceStarted();
  void DeviceStopped();
  bool deviceRunning() const { return running_; }
  // Only while stopped.
  void SetOutputRate(std::uint32_t rate) { renderer_.SetOutputRate(rate); }

  void NoteOn(int owner, int key, std::int64_t inputTime = 0);
  void NoteOff(int owner, int key);
  void AllNotesOff();
  // Stops the feed; Drained() once the audio thread has acknowledged it.
  void StopFeed();
  void ResumeFeed();
  bool Drained() const;

  // A sequencer nobody else uses, to be filled and then started.
  Sequencer& SpareSequencer();
  // Plays the sequencer (from SpareSequencer) from the next buffer on; returns
  // the score's generation, reported by FinishedScore when it ends by itself.
  std::uint64_t StartScore(Sequencer& sequencer);
  void StopScore();
  void SetSamplesPerTick(std::int32_t samples);
  std::uint64_t FinishedScore() const { return channels_.finishedScore.load(); }
  // The sequencer last started (its counters move while the audio thread plays it).
  const Sequencer* currentScore() const { return current_; }

  // Plays a song player the caller owns (rewound, its speed set) from the
  // next buffer on, in place of any score; generations are shared with
  // scores. The player is the audio thread's until PlayerLent says otherwise.
  std::uint64_t StartPlayer(SongPlayer& player);
  void SetPlayerSpeed(std::int32_t speed);
  // Whether the audio thread may still use the player: started, and not yet
  // handed back. StopScore stops a player too.
  bool PlayerLent(const SongPlayer& player) const;

  // A bank the audio thread does not hold, to be rebuilt and then handed over.
  KeyWaveBank& SpareBank();
  void UseBank(KeyWaveBank& bank);

  // Samples rendered from the next buffer on go to the tap FIFO (generation
  // tags them), until TapOff.
  void TapOn(std::uint64_t generation);
  void TapOff();

  // Takes everything the audio thread reported: paints to the client, the
  // snapshot into the mirror, banks and sequencers back for reuse. While no
  // device runs it first applies what the MIDI input queued.
  void Drain();
  const VoiceTable& mirror() const { return mirror_; }
  // Commands waiting on this side for room in the queue.
  std::size_t waitingCommands() const { return waiting_.size(); }
  // Commands dropped while waiting because a later one made them redundant.
  std::uint64_t droppedCommands() const { return droppedCommands_; }
  // Note starts queued so far.
  std::uint64_t notesStarted() const { return notesStarted_; }

 private:
  void Post(LiveCommand command);
  // Moves waiting commands into the queue while it has room.
  void SendWaiting();
  // Keeps a command that found no room, dropping what it makes redundant.
  void Hold(const LiveCommand& command);
  void ForgetPendingNote(std::uint64_t seq);
  void RebuildMirror();
  void Paint(int key, std::uint32_t colour);

  LiveEngineClient& client_;
  LiveChannels channels_;
  LiveRenderer renderer_{channels_};
  bool running_ = false;
  std::uint64_t nextSeq_ = 1;
  std::uint64_t stopSeq_ = 0;
  std::uint64_t scoreGeneration_ = 0;
  std::uint64_t droppedCommands_ = 0;
  std::deque<LiveCommand> waiting_;
  std::uint64_t notesStarted_ = 0;

  // Commands that change the voice table, not yet applied by the audio thread.
  std::deque<LiveCommand> pendingNotes_;
  VoiceSlots snapshot_;
  std::uint64_t snapshotSeq_ = 0;
  VoiceTable mirror_;

  template <typename T>
  struct Lent {
    std::unique_ptr<T> object;
    bool withAudio = false;
  };
  std::vector<Lent<Sequencer>> sequencers_;
  std::vector<Lent<KeyWaveBank>> banks_;
  std::vector<const SongPlayer*> lentPlayers_;
  Sequencer* current_ = nullptr;
};

}  // namespace tonefield

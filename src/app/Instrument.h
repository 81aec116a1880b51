// The main window's state and every handler, free of any toolkit. The shell
// forwards window events here (Start once, OnTimerTick every 250 ms,
// clicks, key strokes as Windows virtual-key codes, the audio thread's news
// and the capture's buffer-full call) and draws what this class tells the
// View. Every handler runs on the GUI thread; the sound is rendered on the
// output device's own thread by the LiveEngine's renderer, which this class
// steers through queued commands. engineLock_ is re-entrant because the
// modal error box keeps dispatching events inside handlers that hold it.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "app/DialogFolders.h"
#include "app/Host.h"
#include "app/RecentFiles.h"
#include "app/PerformanceTapWriter.h"
#include "app/View.h"
#include "audio_io/PerformanceRecorder.h"
#include "audio_io/WaveInDevice.h"
#include "common/SourceSample.h"
#include "dsp/KeyWaveBuilder.h"
#include "dsp/FirLowPass.h"
#include "engine/EngineState.h"
#include "engine/LateCallbackWatch.h"
#include "engine/LiveEngine.h"
#include "engine/VoiceTable.h"
#include "engine/WaveOutDevice.h"
#include "keyboard/NoteInput.h"
#include "midi/MidiFile.h"
#include "midi/MidiFilePlayer.h"
#include "midi/MidiInput.h"
#include "score/Sequencer.h"
#include "score/UserScoreCache.h"

namespace tonefield {

inline constexpr std::string_view kWelcomeText = "*** Welcome to Tonefield ! ***";
inline constexpr std::string_view kShuttingDownText = "終了処理中です。";
inline constexpr std::string_view kOutputLostText = "出力デバイスが切断されました。";
inline constexpr std::string_view kOutputBackText = "出力デバイスに再接続しました。";
// Said (with the sizes) when late callbacks made the default buffer grow.
std::string BufferSteppedUpText(std::uint32_t from, std::uint32_t to);
inline constexpr std::string_view kCaptureLostText = "録音デバイスが切断されました。";
inline constexpr std::string_view kCaptureSilentText = "録音デバイスから音声が届きません。";
inline constexpr std::string_view kCaptureCancelledText = "録音を中止しました。";
// A capture needs three seconds; one that has brought nothing after two
// more (20 ticks of 250 ms) ends with kCaptureSilentText.
inline constexpr int kCaptureTimeoutTicks = 20;
// Esc (VK_ESCAPE) ends every note, and cancels a sample recording.
inline constexpr int kVirtualKeyEscape = 0x1B;

class Instrument final : public WaveInListener, private LiveEngineClient, private PlayedNotes {
 public:
  Instrument(View& view, Host& host, WaveOutDevice& waveOut, WaveInDevice& waveIn);
  ~Instrument();
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  // Start-up and close (Instrument.cpp).
  void Start();
  // The window asks whether it may close (close box, quitButton, the timer).
  void OnCloseRequested(bool& canClose);
  // The close was granted: stop a performance recording, close the output,
  // free everything. Late device calls afterwards touch nothing.
  void Shutdown();
  void OnQuitClicked();
  void OnAboutClicked();
  // Panel controls in their fixed order; saveSampleButton only when the sample may be saved.
  void SetControlsEnabled(bool enabled);

  // Engine states and the 250 ms timer (InstrumentTimer.cpp).
  void OnTimerTick();
  bool TimerRunning() const { return timerRunning_; }

  // Output device (InstrumentOutput.cpp). Callers hold engineLock_.
  void OpenOutput();
  void CloseOutput();
  // The audio thread has news (key paints, the score's end, returned banks,
  // latency stamps); also run by every timer tick.
  void OnAudioNews();
  // Called before the device starts: wake brings the GUI thread from any
  // thread; post (empty: wake) is what the audio callback calls, and must
  // make no system call.
  void SetAudioWake(std::function<void()> wake, std::function<void()> post = {});
  // The device buffer to ask for (0: about 5 ms at the rate).
  void SetBufferRequest(std::uint32_t samples) { bufferRequest_ = samples; }
  // Another device or buffer was chosen while the window runs: an open
  // output closes and opens again as a device that came back does (the
  // sounding notes end, a song plays on). While the output is closed on
  // purpose (a new sample, a sample recording) or lost, its next opening
  // takes the new choice. One that cannot open is reported as lost, and the
  // default device is tried from the next tick. True when it plays again.
  bool ReopenOutput();
  // Latency probe: the time of the input event about to be handled, and the
  // file each note's input-to-callback time is logged to.
  void NoteInputTime(std::int64_t steadyNanoseconds) { pendingInputTime_ = steadyNanoseconds; }
  bool SetLatencyLog(const std::string& path);
  bool LatencyLogEnabled() const { return latencyLog_.is_open(); }

  // Where a MIDI port delivers its messages, on its own thread. Its notes
  // play under their own owner and yield to other owners' keys; the stuck-
  // note watchdog never ends them (only their note-off does).
  MidiInput& midiInput() { return midi_; }
  // How the MIDI input forgets its notes from the GUI thread while a port
  // may be delivering (the port's own way); without one, it is told directly.
  void SetMidiPanic(std::function<void()> panic) { midiPanic_ = std::move(panic); }

  // Note input (InstrumentNoteInput.cpp); key codes are Windows virtual-key
  // codes, set to 0 when the stroke is consumed.
  void OnKeyDown(int& key);
  void OnKeyUp(int& key);
  void OnKeyButtonDown(int key);
  void OnKeyButtonUp(int key);
  // Panic: every note ends at once, whoever holds it (PC keys, mouse, song,
  // MIDI), and the MIDI input forgets its keys and pedals; a song plays on
  // from its next note. Esc does the same, and still goes on to the window.
  void OnPanicClicked();

  // Transport (InstrumentTransport.cpp).
  void OnPlayClicked();
  void OnTempoChanged();
  void ResetPlayButton();

  // Song list and score files (InstrumentSongs.cpp).
  void FillSongList();
  void FitSongListWidth();
  void OnOpenScoreClicked();
  void OnSongChanged();
  void OnSongListLeft();
  // How MIDI files play from the song list: out-of-range notes and channels.
  void SetMidiFileOptions(const MidiFilePlayOptions& options) { midiFileOptions_ = options; }
  // The MIDI file entry 0 plays, while it holds one rather than a score.
  const MidiFileData* userMidiFile() const { return userMidi_.get(); }

  // Sample files (InstrumentSamples.cpp).
  void OnOpenWaveClicked();
  void OnSaveSampleClicked();
  // Sample recording (InstrumentCapture.cpp).
  void OnRecordSampleClicked();
  void StartSampleRecording();
  void OnWaveInData(WaveHeader* header) override;
  // Starts the system mixer in its recording or its playback view.
  void LaunchVolumeControl(bool recordingView);
  void OnInputVolumeClicked();
  void OnOutputVolumeClicked();
  // A file handed to the program (its command line, the file manager, a
  // drop on the window, a second start): a score file or a MIDI file by its
  // magic, else a sample, each with its loader's rules and messages, as if chosen in that
  // loader's dialog. Ignored while a song plays, a recording of a sample runs
  // or the window closes, as the loaders' buttons are then disabled.
  void OpenFile(const std::string& path);
  // A mixer that started but gave up at once is reported as one that could not start.
  void OnVolumeControlFailed(const LaunchResult& launched);
  // Performance recording (InstrumentRecording.cpp).
  void OnRecordPerformanceClicked();
  void StartPerformanceRecording();
  void StopPerformanceRecording();
  void UpdateRecordingClock();
  bool IsPerformanceRecordingActive() const { return recordingActive_; }
  // Writes what the audio thread has tapped so far (the writer thread does so
  // on its own every few milliseconds).
  void FlushPerformanceRecording();

  // Read-only views for the shell and tests.
  int GetEngineState() const { return engineState_; }
  bool IsFeedStopped() const { return feedStopped_; }
  int GetCloseCountdown() const { return closeCountdown_; }
  // The voices as the GUI knows them: keys and owners, with the notes it has
  // just queued (positions are the renderer's: live().renderer().voices()).
  const VoiceTable& voices() const { return live_.mirror(); }
  const LiveEngine& live() const { return live_; }
  bool OutputOpen() const { return outputOpen_; }
  // True once the audio thread has acknowledged the last feed stop: the
  // device has played everything it was given.
  bool OutputDrained() const { return live_.Drained(); }
  // The score last started (its counters belong to the audio thread while it plays).
  const Sequencer& sequencer() const;
  std::int32_t SamplesPerTick() const { return samplesPerTick_; }
  const SourceSample& sourceSample() const { return sourceSample_; }
  const KeyWaves& keyWaves() const { return keyWaves_; }
  const std::string& userScore() const { return userScore_; }
  const UserScoreCache& userScoreCache() const { return userScoreCache_; }
  // Where the next file dialog for this kind of file starts.
  std::string DialogStartFolder(FileKind kind) { return dialogFolders_.StartFolder(kind); }
  // The files loaded last, newest first (the window's recent-files menu).
  std::vector<std::string> RecentFileList() const { return recentFiles_.List(); }
  // The folder performance recordings go to.
  std::string RecordingFolderPath();
  const StuckNoteWatchdog& watchdog() const { return watchdog_; }
  bool closed() const { return closed_; }

 private:
  friend class InstrumentTestAccess;  // tests reach into the fields the file units own

  // LiveEngineClient: the voices colour the key buttons; latency stamps.
  void PaintKey(int key, std::uint32_t colour) override;
  void LatencyMeasured(const LatencyRecord& record) override;
  // PlayedNotes: note input and the watchdog play through the live engine
  // and decide from its mirror.
  void NoteOn(int owner, int key) override;
  void NoteOff(int owner, int key) override;
  int KeyInSlot(int slot) const override { return live_.mirror().KeyInSlot(slot); }
  bool HoldsKey(int key) const override { return live_.mirror().HoldsKey(key); }

  void ShowError(const std::string& message) { view_.ShowError(message); }
  void ReportDeviceError(std::string_view prefix, MmResult code);
  // Stops the feed (the renderer plays silence and advances nothing).
  void StopFeed();
  // Opens the output; report false keeps failures quiet (reopening a lost device).
  bool OpenOutputDevice(bool report);
  void CheckDevicesLost();
  void CheckLateCallbacks();
  void HandleRecordingSelfStop();
  // Rebuilds the key waves of the current sample (progress in the status
  // line); voices whose position lies beyond their new wave become finished.
  void LoadSampleFrom(const std::string& path);
  // The host's answer whether files can be made in a folder, for error causes.
  std::function<bool(const std::string&)> FolderCheck() {
    return [this](const std::string& folder) { return host_.IsFolderWritable(folder); };
  }
  // A score file, or a MIDI file when it begins with "MThd".
  void LoadScoreFrom(const std::string& path);
  void LoadMidiFileFrom(const std::string& path);
  void RebuildKeyWavesForSample();
  std::uint32_t SampleRate() const;
  std::uint32_t OutputRate() const { return keyWaves_.outputFormat.samplesPerSec; }
  void RunStuckNoteWatchdog();
  void StartScore();
  void StartMidiFile();
  // The play button and the controls while a song plays.
  void ShowSongPlaying();
  void StopScore();
  // A chosen file's name shortened to the status line's width.
  std::string FitToStatusLine(const std::string& path);
  // Capture (InstrumentCapture.cpp): device error text, releasing the device
  // and its buffer, and giving the output back after a failed capture.
  std::string CaptureErrorText(const char* prefix, MmResult code);
  void ReleaseCapture();
  void RestoreOutputAfterCapture();
  // Ends a requested or running sample recording without a new sample,
  // saying why; false when none runs.
  bool EndSampleRecording(std::string_view why);
  // The teardown stops and closes a capture still running.
  void StopSampleCaptureForClose();
  // Performance recording (InstrumentRecording.cpp): the button after a stop.
  void FinishPerformanceRecordingStop(const RecorderResult& stop);
  void UpdateRecordingClockText(int blocks);

  View& view_;
  Host& host_;
  WaveOutDevice& waveOut_;
  WaveInDevice& waveIn_;

  std::recursive_mutex engineLock_;
  int engineState_ = kStateStarting;
  bool feedStopped_ = false;
  int closeCountdown_ = 0;

  SourceSample sourceSample_;
  UpsampleFilter upsampleFilter_{};
  KeyWaves keyWaves_;  // formats, and the bank being rebuilt before it goes to the renderer
  // MIDI file players, each the audio thread's from its start until handed
  // back; declared before the engine, which may still name one as it goes.
  std::vector<std::unique_ptr<MidiFilePlayer>> midiPlayers_;
  LiveEngine live_{*this};
  MidiInput midi_{live_.channels()};
  std::function<void()> midiPanic_;
  StuckNoteWatchdog watchdog_;
  bool outputOpen_ = false;
  bool outputLost_ = false;  // reopen the default device at the next ticks
  std::uint32_t bufferRequest_ = 0;  // --buffer; 0: the default, which may step up once
  std::uint32_t bufferStep_ = 1;     // 2 once late callbacks stepped the default up
  BufferStepUp bufferStepUp_;

  Sequencer idleSequencer_;  // what sequencer() shows before the first score
  std::int32_t scoreTempo_ = kDefaultTempo;
  std::int32_t samplesPerTick_ = 1;
  std::uint64_t scoreGeneration_ = 0;
  std::string userScore_;  // bytes of the last accepted score file
  UserScoreCache userScoreCache_;
  // Entry 0's MIDI file, when the last file accepted for it was one.
  std::unique_ptr<const MidiFileData> userMidi_;
  MidiFilePlayOptions midiFileOptions_;
  bool midiFilePlaying_ = false;  // the song started last is a MIDI file

  // Sample capture: open from a successful Open until the buffer is back.
  WaveFormat captureFormat_{};
  std::uint32_t captureBytes_ = 0;
  bool captureDeviceOpen_ = false;
  int captureTicks_ = 0;  // timer ticks since the capture started
  std::unique_ptr<WaveHeader> captureHeader_;
  std::vector<std::uint8_t> captureBuffer_;

  std::function<void()> audioWake_;
  PerformanceTapWriter tapWriter_{live_.channels(), [this] {
                                    if (audioWake_) audioWake_();
                                  }};
  bool recordingActive_ = false;
  std::uint64_t tapGeneration_ = 0;
  int lastClockBlocks_ = 0;

  std::ofstream latencyLog_;
  std::string latencyNoteWritten_;  // the device's note last written to the log
  std::int64_t pendingInputTime_ = 0;

  DialogFolders dialogFolders_{host_};
  RecentFiles recentFiles_{host_};
  std::string pendingFile_;  // handed over while the loaders were busy  // samples (open and save) and scores apart

  bool timerRunning_ = false;
  bool closingDown_ = false;  // inside Shutdown
  bool closed_ = false;
};

}  // namespace tonefield

// The main window's state and every handler, free of any toolkit. The shell
// forwards window events here (FormCreate once, Timer1Timer every 250 ms,
// clicks, key strokes as Windows virtual-key codes, block-done and
// buffer-full calls of the devices) and draws what this class tells the
// View. Everything runs on one thread; EngineLock is re-entrant because the
// modal error box keeps dispatching events inside handlers that hold it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "app/Host.h"
#include "app/View.h"
#include "audio_io/PerformanceRecorder.h"
#include "audio_io/WaveInDevice.h"
#include "common/SourceSample.h"
#include "dsp/KeyWaveBuilder.h"
#include "dsp/TFIRFilter.h"
#include "engine/EngineState.h"
#include "engine/OutputRing.h"
#include "engine/VoiceTable.h"
#include "engine/WaveOutDevice.h"
#include "keyboard/NoteInput.h"
#include "score/Sequencer.h"
#include "score/UserScoreCache.h"

namespace tonefield {

inline constexpr std::string_view kWelcomeText = "*** Welcome to Tonefield ! ***";
inline constexpr std::string_view kShuttingDownText = "終了処理中です。";

class TForm1 final : public WaveOutListener,
                     public WaveInListener,
                     private KeyPainter,
                     private RenderClient {
 public:
  TForm1(View& view, Host& host, WaveOutDevice& waveOut, WaveInDevice& waveIn);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Start-up and close (TForm1.cpp).
  void FormCreate();
  // The window asks whether it may close (close box, btnQuit, the timer).
  void FormCloseQuery(bool& canClose);
  // The close was granted: stop a performance recording, close the output,
  // free everything. Late device calls afterwards touch nothing.
  void FormClose();
  void btnQuitClick();
  void btnAboutClick();
  // Panel controls in their fixed order; btnSave only when the sample may be saved.
  void SetControlsEnabled(bool enabled);

  // Engine states and the 250 ms timer (TForm1_Timer.cpp).
  void Timer1Timer();
  bool TimerRunning() const { return timerRunning_; }

  // Output ring (TForm1_Output.cpp). Callers hold EngineLock.
  void OpenOutput();
  void CloseOutput();
  void RenderBlock();
  void OnWaveOutDone(std::uint64_t generation, WaveHeader* header) override;

  // Note input (TForm1_NoteInput.cpp); key codes are Windows virtual-key
  // codes, set to 0 when the stroke is consumed.
  void FormKeyDown(int& key);
  void FormKeyUp(int& key);
  void KeyButtonMouseDown(int key);
  void KeyButtonMouseUp(int key);

  // Transport (TForm1_Transport.cpp).
  void btnPlayClick();
  void tbTempoChange();
  void ResetPlayButton();

  // Song list and score files (TForm1_Songs.cpp).
  void FillSongList();
  void FitSongListWidth();
  void btnOpenScoreClick();
  void cbxSongChange();
  void cbxSongExit();

  // Sample files (TForm1_Samples.cpp).
  void btnOpenWaveClick();
  void btnSaveClick();
  // Sample recording (TForm1_Capture.cpp).
  void btnRecClick();
  void StartSampleRecording();
  void OnWaveInData(WaveHeader* header) override;
  // Starts the system mixer in its recording or its playback view.
  void LaunchVolumeControl(bool recordingView);
  void btnInputVolumeClick();
  void btnOutputVolumeClick();
  // Performance recording (TForm1_Recording.cpp).
  void btnRecordingClick();
  void StartPerformanceRecording();
  void StopPerformanceRecording();
  void UpdateRecordingClock();
  bool IsPerformanceRecordingActive() const;
  void AppendToPerformanceRecording(std::span<const std::uint8_t> block);

  // Read-only views for the shell and tests.
  int GetEngineState() const { return EngineState; }
  bool IsFeedStopped() const { return feedStopped; }
  int GetCloseCountdown() const { return closeCountdown; }
  const VoiceTable& voices() const { return voices_; }
  const OutputRing& ring() const { return ring_; }
  const Sequencer& sequencer() const { return sequencer_; }
  const SourceSample& sourceSample() const { return sourceSample_; }
  const KeyWaves& keyWaves() const { return keyWaves_; }
  const std::string& userScore() const { return UserScore; }
  const UserScoreCache& userScoreCache() const { return userScoreCache_; }
  const std::string& openDialogDir() const { return openDialogDir_; }
  const std::string& saveDialogDir() const { return saveDialogDir_; }
  const StuckNoteWatchdog& watchdog() const { return watchdog_; }
  bool closed() const { return closed_; }

 private:
  friend class TForm1TestAccess;  // tests reach into the fields the file units own

  // KeyPainter: the voices colour the key buttons.
  void PaintKey(int key, std::uint32_t colour) override;
  // RenderClient: the ring asks for block contents and reports errors.
  void FillBlock(std::span<std::int16_t> samples) override;
  void BlockRendered(std::span<const std::uint8_t> bytes) override;
  void ReportError(const std::string& message) override;

  void ShowError(const std::string& message) { view_.ShowError(message); }
  // Rebuilds the key waves of the current sample (progress in the status
  // line); voices whose position lies beyond their new wave become finished.
  void RebuildKeyWavesForSample();
  std::uint32_t SampleRate() const;
  std::uint32_t OutputRate() const { return keyWaves_.outputFormat.samplesPerSec; }
  void RunStuckNoteWatchdog();
  void StartScore();
  void StopScore();
  // The folder part of a chosen file, separator included.
  static std::string FolderOf(const std::string& path);
  // A chosen file's name shortened to the status line's width.
  std::string FitToStatusLine(const std::string& path);
  // Capture (TForm1_Capture.cpp): device error text, releasing the device
  // and its buffer, and giving the output back after a failed capture.
  std::string CaptureErrorText(const char* prefix, MmResult code);
  void ReleaseCapture();
  void RestoreOutputAfterCapture();
  // The teardown stops and closes a capture still running.
  void StopSampleCaptureForClose();
  // Performance recording (TForm1_Recording.cpp): the button after a stop.
  void FinishPerformanceRecordingStop(const RecorderResult& stop);

  View& view_;
  Host& host_;
  WaveOutDevice& waveOut_;
  WaveInDevice& waveIn_;

  std::recursive_mutex EngineLock;
  int EngineState = kStateStarting;
  bool feedStopped = false;
  int closeCountdown = 0;

  SourceSample sourceSample_;
  UpsampleFilter upsampleFilter_{};
  KeyWaves keyWaves_;
  VoiceTable voices_;
  OutputRing ring_;
  StuckNoteWatchdog watchdog_;

  Sequencer sequencer_;
  std::string UserScore;  // bytes of the last accepted score file
  UserScoreCache userScoreCache_;

  // Sample capture: open from a successful Open until the buffer is back.
  WaveFormat captureFormat_{};
  std::uint32_t captureBytes_ = 0;
  bool captureDeviceOpen_ = false;
  std::unique_ptr<WaveHeader> captureHeader_;
  std::vector<std::uint8_t> captureBuffer_;

  PerformanceRecorder performanceRecorder_;

  std::string openDialogDir_;  // shared by the sample and score loaders
  std::string saveDialogDir_;

  bool timerRunning_ = false;
  bool closingDown_ = false;  // inside FormClose
  bool closed_ = false;
};

}  // namespace tonefield

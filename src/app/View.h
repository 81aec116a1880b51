// What the main window's handlers show: implemented by the Qt window in the
// program and by a recording fake in tests. All texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonefield {

// Colour values as the original held them: 0x00BBGGRR (red is 255).
using Colour = std::uint32_t;
inline constexpr Colour kColourRed = 0x0000FF;
inline constexpr Colour kColourBlack = 0x000000;
inline constexpr Colour kColourWhite = 0xFFFFFF;

enum class Control {
  StatusLine, OpenWaveButton, SaveSampleButton, RecordSampleButton,
  BlankLabelLeft, BlankLabelRight,  // two labels emptied at start-up and never used again
  InputVolumeButton, OutputVolumeButton, SongBox, OpenScoreButton, PlayButton, TempoCaption,
  TempoBar, RecordingClock, RecordPerformanceButton, AboutButton, QuitButton,
  ControlPanel,  // the panel above the keys that carries every control
};

enum class Glyph { Play, Stop, Rec };

struct KeyButtonSpec {
  int key = 0;  // KeyNum
  int left = 0, top = 0, width = 0, height = 0;
  Colour colour = kColourWhite;
  Colour fontColour = kColourBlack;
  std::string caption;
  bool black = false;
};

class View {
 public:
  virtual ~View() = default;

  // Start-up frame.
  virtual void ShowSplash() = 0;  // shown and painted at once
  virtual void FreeSplash() = 0;
  virtual void SetWindowCaption(const std::string& text) = 0;
  virtual void CreateKeyButton(const KeyButtonSpec& spec) = 0;
  virtual void RaiseBlackKeysThenPanel() = 0;
  virtual int PanelHeight() = 0;  // 73
  virtual void SetPanelWidth(int width) = 0;
  virtual void SetClientWidth(int width) = 0;
  virtual void SetClientHeight(int height) = 0;

  // Controls.
  virtual void SetStatusText(const std::string& text) = 0;  // statusLine
  virtual void SetControlText(Control control, const std::string& text) = 0;  // captions, labels
  virtual void SetControlHint(Control control, const std::string& hint) = 0;
  virtual void SetControlEnabled(Control control, bool enabled) = 0;
  virtual void SetButtonGlyph(Control control, Glyph glyph) = 0;
  virtual int ControlWidth(Control control) = 0;
  virtual void RepaintNow() = 0;
  virtual void FocusPanel() = 0;
  virtual int TempoPosition() = 0;  // tempoBar, 0..10

  // Keys.
  virtual void SetKeyColour(int key, Colour colour) = 0;
  virtual bool IsKeyDrawnPressed(int key) = 0;

  // Song list.
  virtual void AddSongItem(const std::string& text) = 0;
  virtual void SetSongItem(int index, const std::string& text) = 0;
  virtual int SongItemCount() = 0;
  virtual std::string SongItem(int index) = 0;
  virtual void SelectSong(int index) = 0;
  virtual int SelectedSong() = 0;
  virtual void SetSongDroppedWidth(int width) = 0;

  // Width in pixels of a text in the window's font.
  virtual int TextWidth(const std::string& text) = 0;

  // Modal boxes. Both keep the message loop running while shown.
  virtual void ShowError(const std::string& message) = 0;             // title "エラー"
  virtual void ShowApplicationError(const std::string& message) = 0;  // platform default title
  virtual void ShowAboutBox() = 0;
};

}  // namespace tonefield

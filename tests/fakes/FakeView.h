// A View that records what the handlers show. Every call is also appended
// to log() as one line ("Status:text", "Enable:saveSampleButton=0", ...), so tests
// can check the order of visible effects. An error box can run a callback
// while it is "open", to let other handlers run inside it as a modal box does.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/View.h"
#include "common/Constants.h"

namespace tonefield::fakes {

std::string ControlName(Control control);

class FakeView : public View {
 public:
  FakeView();

  void ShowSplash() override;
  void FreeSplash() override;
  void SetWindowCaption(const std::string& text) override;
  void CreateKeyButton(const KeyButtonSpec& button) override;
  void RaiseBlackKeysThenPanel() override;
  int PanelHeight() override { return panelHeight; }
  void SetPanelWidth(int width) override;
  void SetClientWidth(int width) override;
  void SetClientHeight(int height) override;

  void SetStatusText(const std::string& text) override;
  void SetControlText(Control control, const std::string& text) override;
  void SetControlHint(Control control, const std::string& hint) override;
  void SetControlEnabled(Control control, bool enabled) override;
  void SetButtonGlyph(Control control, Glyph glyph) override;
  int ControlWidth(Control control) override;
  void RepaintNow() override;
  void FocusPanel() override;
  int TempoPosition() override { return tempoPosition; }

  void SetKeyColour(int key, Colour colour) override;
  bool IsKeyDrawnPressed(int key) override { return drawnPressed.at(key); }

  void AddSongItem(const std::string& text) override;
  void SetSongItem(int index, const std::string& text) override;
  int SongItemCount() override { return static_cast<int>(songItems.size()); }
  std::string SongItem(int index) override { return songItems.at(index); }
  void SelectSong(int index) override;
  int SelectedSong() override { return selectedSong; }
  void SetSongDroppedWidth(int width) override;

  int TextWidth(const std::string& text) override;

  void ShowError(const std::string& message) override;
  void ShowApplicationError(const std::string& message) override;
  void ShowAboutBox() override;

  // Log lines starting with prefix, in order.
  std::vector<std::string> LogLines(const std::string& prefix) const;
  void ClearLog() { log.clear(); }

  // Recorded state.
  std::vector<std::string> log;
  std::string caption;
  std::string statusText;
  std::vector<std::string> statusHistory;
  std::map<Control, std::string> texts;
  std::map<Control, std::string> hints;
  std::map<Control, bool> enabled;
  std::map<Control, Glyph> glyphs;
  std::vector<KeyButtonSpec> keyButtons;
  std::array<Colour, kKeyCount> keyColours{};
  std::vector<std::string> songItems;
  int selectedSong = -1;
  int droppedWidth = 0;
  std::vector<std::string> errors;
  std::vector<std::string> applicationErrors;
  int aboutBoxes = 0;
  int panelFocusCount = 0;
  int repaintCount = 0;
  bool splashShown = false;
  int panelWidth = 0, clientWidth = 0, clientHeight = 0;

  // Settable answers.
  int panelHeight = 73;
  int tempoPosition = 5;
  std::array<bool, kKeyCount> drawnPressed{};
  std::map<Control, int> controlWidths;  // songBox starts at 113
  // Width of a text; by default 7 pixels per character (UTF-8 aware).
  std::function<int(const std::string&)> textWidth;
  // Runs inside ShowError, as the modal box's message loop would.
  std::function<void(const std::string&)> onError;
};

}  // namespace tonefield::fakes

#include "fakes/FakeView.h"

namespace tonefield::fakes {

std::string ControlName(Control control) {
  switch (control) {
    case Control::StatusLine: return "statusLine";
    case Control::OpenWaveButton: return "openWaveButton";
    case Control::SaveSampleButton: return "saveSampleButton";
    case Control::RecordSampleButton: return "recordSampleButton";
    case Control::BlankLabelLeft: return "blankLabelLeft";
    case Control::BlankLabelRight: return "blankLabelRight";
    case Control::InputVolumeButton: return "inputVolumeButton";
    case Control::OutputVolumeButton: return "outputVolumeButton";
    case Control::SongBox: return "songBox";
    case Control::OpenScoreButton: return "openScoreButton";
    case Control::PlayButton: return "playButton";
    case Control::TempoCaption: return "tempoCaption";
    case Control::TempoBar: return "tempoBar";
    case Control::RecordingClock: return "recordingClock";
    case Control::RecordPerformanceButton: return "recordPerformanceButton";
    case Control::AboutButton: return "aboutButton";
    case Control::QuitButton: return "quitButton";
    case Control::ControlPanel: return "controlPanel";
  }
  return "?";
}

namespace {
const char* GlyphName(Glyph glyph) {
  switch (glyph) {
    case Glyph::Play: return "Play";
    case Glyph::Stop: return "Stop";
    case Glyph::Rec: return "Rec";
  }
  return "?";
}

int Utf8Characters(const std::string& text) {
  int count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80 ? 1 : 0;
  return count;
}
}  // namespace

FakeView::FakeView() {
  keyColours.fill(0xFFFFFFFF);
  controlWidths[Control::SongBox] = 113;
  controlWidths[Control::StatusLine] = 233;
}

void FakeView::ShowSplash() {
  splashShown = true;
  log.push_back("ShowSplash");
}
void FakeView::FreeSplash() {
  splashShown = false;
  log.push_back("FreeSplash");
}
void FakeView::SetWindowCaption(const std::string& text) {
  caption = text;
  log.push_back("Caption:" + text);
}
void FakeView::CreateKeyButton(const KeyButtonSpec& button) {
  keyButtons.push_back(button);
  keyColours.at(button.key) = button.colour;
  log.push_back("KeyButton:" + std::to_string(button.key));
}
void FakeView::RaiseBlackKeysThenPanel() { log.push_back("RaiseBlackKeysThenPanel"); }
void FakeView::SetPanelWidth(int width) {
  panelWidth = width;
  log.push_back("PanelWidth:" + std::to_string(width));
}
void FakeView::SetClientWidth(int width) {
  clientWidth = width;
  log.push_back("ClientWidth:" + std::to_string(width));
}
void FakeView::SetClientHeight(int height) {
  clientHeight = height;
  log.push_back("ClientHeight:" + std::to_string(height));
}
void FakeView::SetStatusText(const std::string& text) {
  statusText = text;
  statusHistory.push_back(text);
  log.push_back("Status:" + text);
}
void FakeView::SetControlText(Control control, const std::string& text) {
  texts[control] = text;
  log.push_back("Text:" + ControlName(control) + "=" + text);
}
void FakeView::SetControlHint(Control control, const std::string& hint) {
  hints[control] = hint;
  log.push_back("Hint:" + ControlName(control) + "=" + hint);
}
void FakeView::SetControlEnabled(Control control, bool on) {
  enabled[control] = on;
  log.push_back("Enable:" + ControlName(control) + "=" + (on ? "1" : "0"));
}
void FakeView::SetButtonGlyph(Control control, Glyph glyph) {
  glyphs[control] = glyph;
  log.push_back("Glyph:" + ControlName(control) + "=" + GlyphName(glyph));
}
int FakeView::ControlWidth(Control control) {
  auto it = controlWidths.find(control);
  return it == controlWidths.end() ? 0 : it->second;
}
void FakeView::RepaintNow() {
  ++repaintCount;
  log.push_back("Repaint");
}
void FakeView::FocusPanel() {
  ++panelFocusCount;
  log.push_back("FocusPanel");
}
void FakeView::SetKeyColour(int key, Colour colour) {
  keyColours.at(key) = colour;
  log.push_back("KeyColour:" + std::to_string(key) + "=" + std::to_string(colour));
}
void FakeView::AddSongItem(const std::string& text) {
  songItems.push_back(text);
  log.push_back("AddSong:" + text);
}
void FakeView::SetSongItem(int index, const std::string& text) {
  songItems.at(index) = text;
  log.push_back("SetSong:" + std::to_string(index) + "=" + text);
}
void FakeView::SelectSong(int index) {
  selectedSong = index;
  log.push_back("SelectSong:" + std::to_string(index));
}
void FakeView::SetSongDroppedWidth(int width) {
  droppedWidth = width;
  log.push_back("DroppedWidth:" + std::to_string(width));
}
int FakeView::TextWidth(const std::string& text) {
  return textWidth ? textWidth(text) : 7 * Utf8Characters(text);
}
void FakeView::ShowError(const std::string& message) {
  errors.push_back(message);
  log.push_back("Error:" + message);
  if (onError) onError(message);
}
void FakeView::ShowApplicationError(const std::string& message) {
  applicationErrors.push_back(message);
  log.push_back("AppError:" + message);
}
void FakeView::ShowAboutBox() {
  ++aboutBoxes;
  log.push_back("AboutBox");
}

std::vector<std::string> FakeView::LogLines(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const auto& line : log) {
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  }
  return lines;
}

}  // namespace tonefield::fakes

// The main window on screen: a fixed-size Qt widget that draws what the
// core's View calls say, offers the desktop services of Host, and passes
// every event (clicks, key strokes as virtual-key codes, mouse on the
// keys, the 250 ms timer, close requests) to the WindowHandlers. It decides
// nothing itself.
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <optional>

#include "app/Host.h"
#include "app/View.h"
#include "platform/qt/KeyHeldQuery.h"
#include "platform/qt/KeyTranslator.h"
#include "platform/qt/KeyboardLayout.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QSlider;
class QToolButton;

namespace tonefield {

class WindowHandlers;
class AboutBox;
class PianoKeyButton;
class SplashScreen;

// The commands of the menu bar. Those of the panel's buttons go to the same
// handlers as the buttons; the program answers the others.
enum class MenuCommand { OpenWave, OpenScore, OpenRecordingFolder, Quit, Settings, Guide, About };

class MainWindow final : public QWidget, public View, public Host {
 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Where events go; nullptr until the core is wired.
  void SetHandlers(WindowHandlers* handlers) { handlers_ = handlers; }
  // Starts the 250 ms timer that calls OnTimerTick.
  void StartTimer() { timer1_.start(); }
  void StopTimer() { timer1_.stop(); }
  // Moves the window to the centre of the desktop.
  void CenterOnScreen();
  // Raises and activates the window (a second start asked for it).
  void BringToFront();

  // The window font: the families in order of preference, 12 px.
  static QFont WindowFont();
  // "desc|pattern" as a Qt name filter.
  static QString NameFilter(const std::string& filter);

  // Access for the shell and tests.
  QWidget* control(Control c) const;
  PianoKeyButton* keyButton(int key) const;
  QFrame* panel() const { return panel_; }
  // The menu bar across the top; the client area the core lays out (panel
  // and keys, in its own coordinates) starts right below it.
  QMenuBar* menuBar() const { return menuBar_; }
  int MenuBarHeight() const { return menuBarHeight_; }
  QAction* menuAction(MenuCommand command) const;
  // ファイル, and its 最近使ったファイル, which the program fills each time
  // ファイル opens.
  QMenu* fileMenu() const { return fileMenu_; }
  QMenu* recentMenu() const { return recentMenu_; }
  QComboBox* songList() const { return songBox_; }
  QSlider* tempo() const { return tempoBar_; }
  AboutBox* aboutBox() const { return aboutBox_; }
  SplashScreen* splash() const { return splash_.get(); }
  QTimer& timer() { return timer1_; }
  KeyHeldQuery& keyHeld() { return keyHeld_; }
  // The MIDI activity light (in the gap of the panel's first row) and the
  // panic button (in the gap of its second row): neither moves a control.
  QLabel* midiLight() const { return midiLight_; }
  QToolButton* panicButton() const { return panicButton_; }
  // Lit while MIDI notes come in.
  void SetMidiLight(bool lit);
  bool MidiLightLit() const { return midiLightLit_; }
  // What MIDI does, in the light's tool-tip and for screen readers.
  void SetMidiDescription(const std::string& text);
  // Reads the keyboard layout again and relabels the piano keys after it:
  // each key shows what the user's layout prints on it, or its own label
  // where the layout gives the key no character.
  void RelabelKeys();
  const KeyTranslator& translator() const { return translator_; }
  void SetTranslator(const KeyTranslator& translator) { translator_ = translator; }

  // View
  void ShowSplash() override;
  void FreeSplash() override;
  void SetWindowCaption(const std::string& text) override;
  void CreateKeyButton(const KeyButtonSpec& placement) override;
  void RaiseBlackKeysThenPanel() override;
  int PanelHeight() override;
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
  int TempoPosition() override;
  void SetKeyColour(int key, Colour colour) override;
  bool IsKeyDrawnPressed(int key) override;
  void AddSongItem(const std::string& text) override;
  void SetSongItem(int index, const std::string& text) override;
  int SongItemCount() override;
  std::string SongItem(int index) override;
  void SelectSong(int index) override;
  int SelectedSong() override;
  void SetSongDroppedWidth(int width) override;
  int TextWidth(const std::string& text) override;
  void ShowError(const std::string& message) override;
  void ShowApplicationError(const std::string& message) override;
  void ShowAboutBox() override;

  // Host
  std::string ExecutableDir() override;
  bool IsFolderWritable(const std::string& folder) override;
  std::string MusicDir() override;
  LocalTime Now() override;
  std::optional<std::string> RunOpenDialog(const FileDialogRequest& request) override;
  std::optional<std::string> RunSaveDialog(const FileDialogRequest& request) override;
  bool IsKeyHeld(int virtualKey) override;
  LaunchResult StartVolumeControl(bool recordingView) override;
  void RequestClose() override;
  bool MayWriteProgramFolder() override;
  std::string DocumentsDir() override;
  std::string ReadSetting(const std::string& key) override;
  void WriteSetting(const std::string& key, const std::string& value) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Files dropped from the file manager: the first local file opens.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The handlers while the window is open; nothing is passed on after the close.
  bool Live() const { return handlers_ != nullptr && !closed_; }
  void BuildMenuBar();
  void BuildPanel();
  QToolButton* AddButton(Control c, const char* name, QRect geometry, const char* caption, const char* hint);
  // The widget that a key stroke is delivered to first.
  QWidget* KeyReceiver();
  // Key preview: true when the core consumed the stroke.
  bool PreviewKey(QKeyEvent& event);
  // Keeps the event-tracked held-key state up to date (not auto-repeats).
  void TrackHeldKey(const QKeyEvent& event);
  // Shows a key's label under the layout last read.
  void LabelKey(int key);
  // Panel controls in the order Tab visits them.
  void SetTabOrder();
  void BuildMidiControls();

  WindowHandlers* handlers_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  int menuBarHeight_ = 0;
  QMenu* fileMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  std::map<MenuCommand, QAction*> menuActions_;
  QFrame* panel_ = nullptr;
  QComboBox* songBox_ = nullptr;
  QSlider* tempoBar_ = nullptr;
  std::map<Control, QWidget*> controls_;
  std::array<PianoKeyButton*, 36> keys_{};
  std::unique_ptr<SplashScreen> splash_;
  AboutBox* aboutBox_ = nullptr;
  QTimer timer1_;
  KeyTranslator translator_;
  KeyHeldQuery keyHeld_;
  KeyboardLayout layout_;
  std::array<QString, 36> ownLabels_;  // the labels the keys were created with
  QTimer relabelSoon_;  // one relabel for a burst of keymap events
  // Per virtual-key code: the time stamp of a key-up held back because the
  // key was still down when it arrived.
  std::array<std::optional<quint64>, 256> heldBackRelease_{};
  // The time stamp of each key's last release passed on as a key-up: the
  // press of a repeat pair that arrives after it is not a new stroke.
  std::array<std::optional<quint64>, 256> deliveredRelease_{};
  bool closed_ = false;
  QLabel* midiLight_ = nullptr;
  QToolButton* panicButton_ = nullptr;
  bool midiLightLit_ = false;
};

}  // namespace tonefield

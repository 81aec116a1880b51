#include "platform/qt/MainWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <utility>

#include "platform/qt/Accessibility.h"
#include "platform/qt/WindowHandlers.h"
#include "platform/qt/Glyphs.h"
#include "platform/qt/SongList.h"
#include "platform/qt/GlyphButton.h"
#include "platform/qt/AboutBox.h"
#include "platform/qt/PianoKeyButton.h"
#include "platform/qt/SplashScreen.h"

namespace tonefield {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Message texts carry Windows line breaks; the box wants plain ones.
QString BoxText(const std::string& text) { return Q(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// Texts that may carry file names are shown as they are, never as markup.
// The name comes first: assistive technology may look at the label as soon
// as it has a text.
QLabel* PlainLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  return label;
}

// A message box that centres itself once it knows its final size: on its
// window when that is on screen, otherwise (a box raised while the window
// is still being built) on the screen.
class CentredMessageBox final : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);  // sizes the box to its text
    const QWidget* owner = parentWidget();
    QRect area;
    if (owner != nullptr && owner->isVisible()) {
      area = owner->frameGeometry();
    } else if (const QScreen* screen = this->screen()) {
      area = screen->availableGeometry();
    }
    if (area.isValid()) move(area.center() - rect().center());
  }
};

void ShowBox(QWidget* parent, const char* name, const QString& title, const std::string& message) {
  CentredMessageBox box(QMessageBox::Critical, title, BoxText(message), QMessageBox::Ok, parent);
  box.setObjectName(QString::fromLatin1(name));
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

QFont MainWindow::WindowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(12);
  return font;
}

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
  InstallAccessibleInterfaces();
  setObjectName("mainWindow");
  setWindowTitle(QStringLiteral("Tonefield "));
  setAcceptDrops(true);
  setFont(WindowFont());
  BuildMenuBar();
  setFixedSize(630, menuBarHeight_ + 223);
  BuildPanel();
  BuildMidiControls();
  SetTabOrder();
  aboutBox_ = new AboutBox(this);
  aboutBox_->setFont(font());
  timer1_.setInterval(250);
  connect(&timer1_, &QTimer::timeout, this, [this] {
    if (Live()) handlers_->OnTimerTick();
  });
  // Key labels follow the keyboard layout: the X server reports a new
  // keymap in a burst of events, answered by one relabelling.
  relabelSoon_.setSingleShot(true);
  relabelSoon_.setInterval(50);
  connect(&relabelSoon_, &QTimer::timeout, this, [this] { RelabelKeys(); });
  layout_.SetOnChange([this] { relabelSoon_.start(); });
  // Key preview: the window sees every key stroke before the focused control.
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  timer1_.stop();
}

QToolButton* MainWindow::AddButton(Control c, const char* name, QRect geometry, const char* caption,
                                 const char* hint) {
  auto* button = new GlyphButton(panel_);
  button->setObjectName(name);
  button->setGeometry(geometry);
  button->setText(QString::fromUtf8(caption));
  if (hint != nullptr) button->setToolTip(QString::fromUtf8(hint));
  // Tab reaches the buttons, a click does not move the focus to them (so a
  // Space after a click does not press the button again).
  button->setFocusPolicy(Qt::TabFocus);
  controls_[c] = button;
  return button;
}

void MainWindow::BuildPanel() {
  panel_ = new QFrame(this);
  panel_->setObjectName("controlPanel");
  panel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel_->setGeometry(0, menuBarHeight_, 630, 73);
  panel_->setFocusPolicy(Qt::ClickFocus);
  panel_->setAutoFillBackground(true);
  panel_->setAccessibleName(QStringLiteral("操作パネル"));
  controls_[Control::ControlPanel] = panel_;

  auto* statusLine = PlainLabel("statusLine", QStringLiteral("Display Panel"), panel_);
  statusLine->setGeometry(8, 12, 233, 17);
  statusLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  statusLine->setAutoFillBackground(true);
  QPalette lime = statusLine->palette();
  lime.setColor(QPalette::Window, QColor(0x00, 0xFF, 0x00));
  lime.setColor(QPalette::WindowText, Qt::black);
  statusLine->setPalette(lime);
  statusLine->setAccessibleDescription(QStringLiteral("状態表示"));
  controls_[Control::StatusLine] = statusLine;

  struct ButtonRow {
    Control control;
    const char* name;
    QRect geometry;
    const char* caption;
    const char* hint;
    PanelGlyph glyph;
    void (WindowHandlers::*handler)();
  };
  const ButtonRow rows[] = {
      {Control::OpenWaveButton, "openWaveButton", {248, 8, 73, 25}, "音声読込", "Waveファイルを読み込みます",
       PanelGlyph::Open, &WindowHandlers::OnOpenWaveClicked},
      {Control::SaveSampleButton, "saveSampleButton", {320, 8, 73, 25}, "音声保存", "Waveファイルを保存します", PanelGlyph::Save,
       &WindowHandlers::OnSaveSampleClicked},
      {Control::RecordSampleButton, "recordSampleButton", {392, 8, 73, 25}, "音声録音", "音声を録音します", PanelGlyph::Mic,
       &WindowHandlers::OnRecordSampleClicked},
      {Control::InputVolumeButton, "inputVolumeButton", {480, 8, 73, 25}, "入力音量", "入力音量を調整します",
       PanelGlyph::Volume, &WindowHandlers::OnInputVolumeClicked},
      {Control::OutputVolumeButton, "outputVolumeButton", {552, 8, 73, 25}, "出力音量", "出力音量を調整します",
       PanelGlyph::Volume, &WindowHandlers::OnOutputVolumeClicked},
      {Control::OpenScoreButton, "openScoreButton", {128, 40, 73, 25}, "楽譜読込", "楽譜ファイルを読み込みます",
       PanelGlyph::Score, &WindowHandlers::OnOpenScoreClicked},
      {Control::PlayButton, "playButton", {200, 40, 49, 25}, "演奏", "曲を演奏します", PanelGlyph::Play,
       &WindowHandlers::OnPlayClicked},
      {Control::RecordPerformanceButton, "recordPerformanceButton", {416, 40, 73, 25}, "演奏録音", "演奏結果を録音します",
       PanelGlyph::Rec, &WindowHandlers::OnRecordPerformanceClicked},
      {Control::AboutButton, "aboutButton", {528, 40, 49, 25}, "About", nullptr, PanelGlyph::About,
       &WindowHandlers::OnAboutClicked},
      {Control::QuitButton, "quitButton", {576, 40, 49, 25}, "終了", nullptr, PanelGlyph::Quit,
       &WindowHandlers::OnQuitClicked},
  };
  for (const ButtonRow& row : rows) {
    QToolButton* button = AddButton(row.control, row.name, row.geometry, row.caption, row.hint);
    button->setIcon(QIcon(MakeGlyph(row.glyph)));
    const auto handler = row.handler;
    connect(button, &QToolButton::clicked, this, [this, handler] {
      if (Live()) (handlers_->*handler)();
    });
  }

  auto* blankLeft = PlainLabel("blankLabelLeft", QStringLiteral("Label1"), panel_);
  blankLeft->move(368, 0);
  blankLeft->adjustSize();
  controls_[Control::BlankLabelLeft] = blankLeft;
  auto* blankRight = PlainLabel("blankLabelRight", QStringLiteral("Label2"), panel_);
  blankRight->move(408, 0);
  blankRight->adjustSize();
  controls_[Control::BlankLabelRight] = blankRight;
  // They overlap saveSampleButton and recordSampleButton; below them they never take their clicks.
  blankLeft->lower();
  blankRight->lower();

  songBox_ = new SongList(panel_);
  songBox_->setObjectName("songBox");
  songBox_->setGeometry(8, 42, 113, 20);
  songBox_->setEditable(false);
  songBox_->setMaxVisibleItems(10);
  songBox_->setAccessibleName(QStringLiteral("曲"));
  songBox_->setAccessibleDescription(QStringLiteral("演奏する曲を選びます"));
  controls_[Control::SongBox] = songBox_;
  connect(songBox_, &QComboBox::activated, this, [this](int) {
    if (Live()) handlers_->OnSongChanged();
  });

  auto* tempoCaption = PlainLabel("tempoCaption", QStringLiteral("早さ"), panel_);
  tempoCaption->move(256, 48);
  tempoCaption->adjustSize();
  controls_[Control::TempoCaption] = tempoCaption;

  tempoBar_ = new QSlider(Qt::Horizontal, panel_);
  tempoBar_->setObjectName("tempoBar");
  tempoBar_->setGeometry(280, 40, 89, 25);
  tempoBar_->setRange(0, 10);
  tempoBar_->setValue(5);
  tempoBar_->setSingleStep(1);
  tempoBar_->setPageStep(2);
  tempoBar_->setTickInterval(1);
  tempoBar_->setTickPosition(QSlider::TicksAbove);
  tempoBar_->setToolTip(QStringLiteral("自動演奏のテンポを調整します"));
  tempoBar_->setAccessibleName(tempoCaption->text());
  tempoCaption->setBuddy(tempoBar_);
  controls_[Control::TempoBar] = tempoBar_;
  connect(tempoBar_, &QSlider::valueChanged, this, [this](int) {
    if (Live()) handlers_->OnTempoChanged();
  });

  auto* recordingClock = PlainLabel("recordingClock", QStringLiteral("00:00"), panel_);
  recordingClock->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // Wide enough for the time in the font actually in use, with a pixel
  // between the digits and the frame on each side.
  const int clockWidth = recordingClock->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) +
                         2 * recordingClock->frameWidth() + 2;
  recordingClock->setGeometry(376, 44, std::max(33, clockWidth), 16);
  recordingClock->setAlignment(Qt::AlignCenter);
  recordingClock->setAccessibleDescription(QStringLiteral("演奏録音の時間"));
  controls_[Control::RecordingClock] = recordingClock;
}

void MainWindow::SetTabOrder() {
  // Row by row, left to right, as the panel reads.
  const Control order[] = {Control::OpenWaveButton, Control::SaveSampleButton,      Control::RecordSampleButton,
                           Control::InputVolumeButton, Control::OutputVolumeButton, Control::SongBox,
                           Control::OpenScoreButton, Control::PlayButton,      Control::TempoBar,
                           Control::RecordPerformanceButton, Control::AboutButton,     Control::QuitButton};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(control(order[i - 1]), control(order[i]));
}

void MainWindow::CenterOnScreen() {
  const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void MainWindow::BringToFront() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

QWidget* MainWindow::control(Control c) const {
  const auto it = controls_.find(c);
  return it == controls_.end() ? nullptr : it->second;
}

PianoKeyButton* MainWindow::keyButton(int key) const {
  return key >= 0 && key < static_cast<int>(keys_.size()) ? keys_[static_cast<std::size_t>(key)] : nullptr;
}

// ---- View: start-up frame ----

void MainWindow::ShowSplash() {
  splash_ = std::make_unique<SplashScreen>(font());
  splash_->ShowAndPaint();
}

void MainWindow::FreeSplash() { splash_.reset(); }

void MainWindow::SetWindowCaption(const std::string& text) { setWindowTitle(Q(text)); }

int MainWindow::PanelHeight() { return panel_->height(); }

void MainWindow::SetPanelWidth(int width) { panel_->resize(width, panel_->height()); }

void MainWindow::SetClientWidth(int width) {
  setFixedSize(width, height());
  menuBar_->resize(width, menuBarHeight_);
}

void MainWindow::SetClientHeight(int height) { setFixedSize(width(), menuBarHeight_ + height); }

// ---- View: controls ----

void MainWindow::SetStatusText(const std::string& text) { SetControlText(Control::StatusLine, text); }

void MainWindow::SetControlText(Control c, const std::string& text) {
  QWidget* widget = control(c);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    const QString shown = Q(text);
    if (label->text() == shown) return;
    // The status line's news reach assistive technology as a change of
    // its name (QLabel sends it): only when there is news.
    label->setText(shown);
    // The two unused labels show nothing; emptied, they leave the window
    // (and what a screen reader lists) altogether.
    if (c == Control::BlankLabelLeft || c == Control::BlankLabelRight) label->setVisible(!shown.isEmpty());
  } else if (auto* button = qobject_cast<QToolButton*>(widget)) {
    button->setText(Q(text));
  }
}

void MainWindow::SetControlHint(Control c, const std::string& hint) {
  if (QWidget* widget = control(c)) widget->setToolTip(Q(hint));
}

void MainWindow::SetControlEnabled(Control c, bool enabled) {
  if (QWidget* widget = control(c)) widget->setEnabled(enabled);
  // A menu item that does what a button does is there exactly when the button is.
  static constexpr std::pair<Control, MenuCommand> kTwins[] = {{Control::OpenWaveButton, MenuCommand::OpenWave},
                                                               {Control::OpenScoreButton, MenuCommand::OpenScore},
                                                               {Control::QuitButton, MenuCommand::Quit},
                                                               {Control::AboutButton, MenuCommand::About}};
  for (const auto& [button, command] : kTwins) {
    if (button == c) menuAction(command)->setEnabled(enabled);
  }
}

void MainWindow::SetButtonGlyph(Control c, Glyph glyph) {
  if (auto* button = qobject_cast<QToolButton*>(control(c))) button->setIcon(QIcon(MakeGlyph(glyph)));
}

int MainWindow::ControlWidth(Control c) {
  const QWidget* widget = control(c);
  return widget != nullptr ? widget->width() : 0;
}

void MainWindow::RepaintNow() { repaint(); }

void MainWindow::FocusPanel() { panel_->setFocus(Qt::OtherFocusReason); }

int MainWindow::TempoPosition() { return tempoBar_->value(); }

// ---- View: song list ----

void MainWindow::AddSongItem(const std::string& text) { songBox_->addItem(Q(text)); }

void MainWindow::SetSongItem(int index, const std::string& text) {
  if (index >= 0 && index < songBox_->count()) songBox_->setItemText(index, Q(text));
}

int MainWindow::SongItemCount() { return songBox_->count(); }

std::string MainWindow::SongItem(int index) {
  return index >= 0 && index < songBox_->count() ? songBox_->itemText(index).toStdString() : std::string();
}

void MainWindow::SelectSong(int index) { songBox_->setCurrentIndex(index); }

int MainWindow::SelectedSong() { return songBox_->currentIndex(); }

void MainWindow::SetSongDroppedWidth(int width) { songBox_->view()->setMinimumWidth(width); }

int MainWindow::TextWidth(const std::string& text) { return QFontMetrics(font()).horizontalAdvance(Q(text)); }

// ---- View: boxes ----

void MainWindow::ShowError(const std::string& message) {
  ShowBox(this, "ErrorBox", QStringLiteral("エラー"), message);
}

void MainWindow::ShowApplicationError(const std::string& message) {
  ShowBox(this, "ApplicationErrorBox", QGuiApplication::applicationDisplayName(), message);
}

void MainWindow::ShowAboutBox() { aboutBox_->exec(); }

// ---- Events ----

namespace {

QString FirstLocalFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstLocalFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = FirstLocalFile(event->mimeData());
  if (path.isEmpty() || !Live()) return;
  event->acceptProposedAction();
  handlers_->OnFileDropped(QDir::toNativeSeparators(path).toStdString());
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) keyHeld_.ReleaseAll();
  // The layout may have changed while another window was active.
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) RelabelKeys();
  if (event->type() == QEvent::WindowStateChange) {
    // A fixed-size window is never maximised or full screen (it would sit
    // in a corner of an empty screen); some window managers offer full
    // screen to every window, so the state is taken back at once.
    static constexpr Qt::WindowStates kRefused = Qt::WindowFullScreen | Qt::WindowMaximized;
    if (windowState() & kRefused) {
      QTimer::singleShot(0, this, [this] { setWindowState(windowState() & ~kRefused); });
    }
  }
  QWidget::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  if (handlers_ != nullptr) {
    bool canClose = true;
    handlers_->OnCloseRequested(canClose);
    if (!canClose) {
      event->ignore();
      return;
    }
  }
  closed_ = true;
  timer1_.stop();
  if (handlers_ != nullptr) handlers_->Shutdown();
  event->accept();
}

}  // namespace tonefield

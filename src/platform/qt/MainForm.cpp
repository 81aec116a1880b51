#include "platform/qt/MainForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "platform/qt/Accessibility.h"
#include "platform/qt/FormHandlers.h"
#include "platform/qt/Glyphs.h"
#include "platform/qt/SongList.h"
#include "platform/qt/SpeedButton.h"
#include "platform/qt/TAboutBox.h"
#include "platform/qt/TColorButton.h"
#include "platform/qt/TForm2.h"

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

QFont MainForm::WindowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(12);
  return font;
}

MainForm::MainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
  InstallAccessibleInterfaces();
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Tonefield "));
  setFont(WindowFont());
  setFixedSize(630, 223);
  BuildPanel();
  SetTabOrder();
  aboutBox_ = new TAboutBox(this);
  aboutBox_->setFont(font());
  timer1_.setInterval(250);
  connect(&timer1_, &QTimer::timeout, this, [this] {
    if (Live()) handlers_->Timer1Timer();
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

MainForm::~MainForm() {
  qApp->removeEventFilter(this);
  timer1_.stop();
}

QToolButton* MainForm::AddButton(Control c, const char* name, QRect geometry, const char* caption,
                                 const char* hint) {
  auto* button = new SpeedButton(panel_);
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

void MainForm::BuildPanel() {
  panel_ = new QFrame(this);
  panel_->setObjectName("Panel1");
  panel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel_->setGeometry(0, 0, 630, 73);
  panel_->setFocusPolicy(Qt::ClickFocus);
  panel_->setAutoFillBackground(true);
  panel_->setAccessibleName(QStringLiteral("操作パネル"));
  controls_[Control::Panel1] = panel_;

  auto* txtPanel = PlainLabel("txtPanel", QStringLiteral("Display Panel"), panel_);
  txtPanel->setGeometry(8, 12, 233, 17);
  txtPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  txtPanel->setAutoFillBackground(true);
  QPalette lime = txtPanel->palette();
  lime.setColor(QPalette::Window, QColor(0x00, 0xFF, 0x00));
  lime.setColor(QPalette::WindowText, Qt::black);
  txtPanel->setPalette(lime);
  txtPanel->setAccessibleDescription(QStringLiteral("状態表示"));
  controls_[Control::txtPanel] = txtPanel;

  struct ButtonRow {
    Control control;
    const char* name;
    QRect geometry;
    const char* caption;
    const char* hint;
    PanelGlyph glyph;
    void (FormHandlers::*handler)();
  };
  const ButtonRow rows[] = {
      {Control::btnOpenWave, "btnOpenWave", {248, 8, 73, 25}, "音声読込", "Waveファイルを読み込みます",
       PanelGlyph::Open, &FormHandlers::btnOpenWaveClick},
      {Control::btnSave, "btnSave", {320, 8, 73, 25}, "音声保存", "Waveファイルを保存します", PanelGlyph::Save,
       &FormHandlers::btnSaveClick},
      {Control::btnRec, "btnRec", {392, 8, 73, 25}, "音声録音", "音声を録音します", PanelGlyph::Mic,
       &FormHandlers::btnRecClick},
      {Control::btnInputVolume, "btnInputVolume", {480, 8, 73, 25}, "入力音量", "入力音量を調整します",
       PanelGlyph::Volume, &FormHandlers::btnInputVolumeClick},
      {Control::btnOutputVolume, "btnOutputVolume", {552, 8, 73, 25}, "出力音量", "出力音量を調整します",
       PanelGlyph::Volume, &FormHandlers::btnOutputVolumeClick},
      {Control::btnOpenScore, "btnOpenScore", {128, 40, 73, 25}, "楽譜読込", "楽譜ファイルを読み込みます",
       PanelGlyph::Score, &FormHandlers::btnOpenScoreClick},
      {Control::btnPlay, "btnPlay", {200, 40, 49, 25}, "演奏", "曲を演奏します", PanelGlyph::Play,
       &FormHandlers::btnPlayClick},
      {Control::btnRecording, "btnRecording", {416, 40, 73, 25}, "演奏録音", "演奏結果を録音します",
       PanelGlyph::Rec, &FormHandlers::btnRecordingClick},
      {Control::btnAbout, "btnAbout", {528, 40, 49, 25}, "About", nullptr, PanelGlyph::About,
       &FormHandlers::btnAboutClick},
      {Control::btnQuit, "btnQuit", {576, 40, 49, 25}, "終了", nullptr, PanelGlyph::Quit,
       &FormHandlers::btnQuitClick},
  };
  for (const ButtonRow& row : rows) {
    QToolButton* button = AddButton(row.control, row.name, row.geometry, row.caption, row.hint);
    button->setIcon(QIcon(MakeGlyph(row.glyph)));
    const auto handler = row.handler;
    connect(button, &QToolButton::clicked, this, [this, handler] {
      if (Live()) (handlers_->*handler)();
    });
  }

  auto* label1 = PlainLabel("Label1", QStringLiteral("Label1"), panel_);
  label1->move(368, 0);
  label1->adjustSize();
  controls_[Control::Label1] = label1;
  auto* label2 = PlainLabel("Label2", QStringLiteral("Label2"), panel_);
  label2->move(408, 0);
  label2->adjustSize();
  controls_[Control::Label2] = label2;
  // They overlap btnSave and btnRec; below them they never take their clicks.
  label1->lower();
  label2->lower();

  cbxSong_ = new SongList(panel_);
  cbxSong_->setObjectName("cbxSong");
  cbxSong_->setGeometry(8, 42, 113, 20);
  cbxSong_->setEditable(false);
  cbxSong_->setMaxVisibleItems(10);
  cbxSong_->setAccessibleName(QStringLiteral("曲"));
  cbxSong_->setAccessibleDescription(QStringLiteral("演奏する曲を選びます"));
  controls_[Control::cbxSong] = cbxSong_;
  connect(cbxSong_, &QComboBox::activated, this, [this](int) {
    if (Live()) handlers_->cbxSongChange();
  });

  auto* lblTempo = PlainLabel("lblTempo", QStringLiteral("早さ"), panel_);
  lblTempo->move(256, 48);
  lblTempo->adjustSize();
  controls_[Control::lblTempo] = lblTempo;

  tbTempo_ = new QSlider(Qt::Horizontal, panel_);
  tbTempo_->setObjectName("tbTempo");
  tbTempo_->setGeometry(280, 40, 89, 25);
  tbTempo_->setRange(0, 10);
  tbTempo_->setValue(5);
  tbTempo_->setSingleStep(1);
  tbTempo_->setPageStep(2);
  tbTempo_->setTickInterval(1);
  tbTempo_->setTickPosition(QSlider::TicksAbove);
  tbTempo_->setToolTip(QStringLiteral("自動演奏のテンポを調整します"));
  tbTempo_->setAccessibleName(lblTempo->text());
  lblTempo->setBuddy(tbTempo_);
  controls_[Control::tbTempo] = tbTempo_;
  connect(tbTempo_, &QSlider::valueChanged, this, [this](int) {
    if (Live()) handlers_->tbTempoChange();
  });

  auto* txtRecTime = PlainLabel("txtRecTime", QStringLiteral("00:00"), panel_);
  txtRecTime->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // Wide enough for the time in the font actually in use, with a pixel
  // between the digits and the frame on each side.
  const int clockWidth = txtRecTime->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) +
                         2 * txtRecTime->frameWidth() + 2;
  txtRecTime->setGeometry(376, 44, std::max(33, clockWidth), 16);
  txtRecTime->setAlignment(Qt::AlignCenter);
  txtRecTime->setAccessibleDescription(QStringLiteral("演奏録音の時間"));
  controls_[Control::txtRecTime] = txtRecTime;
}

void MainForm::SetTabOrder() {
  // Row by row, left to right, as the panel reads.
  const Control order[] = {Control::btnOpenWave, Control::btnSave,      Control::btnRec,
                           Control::btnInputVolume, Control::btnOutputVolume, Control::cbxSong,
                           Control::btnOpenScore, Control::btnPlay,      Control::tbTempo,
                           Control::btnRecording, Control::btnAbout,     Control::btnQuit};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(control(order[i - 1]), control(order[i]));
}

void MainForm::CenterOnScreen() {
  const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void MainForm::BringToFront() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

QWidget* MainForm::control(Control c) const {
  const auto it = controls_.find(c);
  return it == controls_.end() ? nullptr : it->second;
}

TColorButton* MainForm::keyButton(int key) const {
  return key >= 0 && key < static_cast<int>(keys_.size()) ? keys_[static_cast<std::size_t>(key)] : nullptr;
}

// ---- View: start-up frame ----

void MainForm::ShowSplash() {
  splash_ = std::make_unique<TForm2>(font());
  splash_->ShowAndPaint();
}

void MainForm::FreeSplash() { splash_.reset(); }

void MainForm::SetWindowCaption(const std::string& text) { setWindowTitle(Q(text)); }

int MainForm::PanelHeight() { return panel_->height(); }

void MainForm::SetPanelWidth(int width) { panel_->resize(width, panel_->height()); }

void MainForm::SetClientWidth(int width) { setFixedSize(width, height()); }

void MainForm::SetClientHeight(int height) { setFixedSize(width(), height); }

// ---- View: controls ----

void MainForm::SetStatusText(const std::string& text) { SetControlText(Control::txtPanel, text); }

void MainForm::SetControlText(Control c, const std::string& text) {
  QWidget* widget = control(c);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    const QString shown = Q(text);
    if (label->text() == shown) return;
    // The status line's news reach assistive technology as a change of
    // its name (QLabel sends it): only when there is news.
    label->setText(shown);
    // The two unused labels show nothing; emptied, they leave the window
    // (and what a screen reader lists) altogether.
    if (c == Control::Label1 || c == Control::Label2) label->setVisible(!shown.isEmpty());
  } else if (auto* button = qobject_cast<QToolButton*>(widget)) {
    button->setText(Q(text));
  }
}

void MainForm::SetControlHint(Control c, const std::string& hint) {
  if (QWidget* widget = control(c)) widget->setToolTip(Q(hint));
}

void MainForm::SetControlEnabled(Control c, bool enabled) {
  if (QWidget* widget = control(c)) widget->setEnabled(enabled);
}

void MainForm::SetButtonGlyph(Control c, Glyph glyph) {
  if (auto* button = qobject_cast<QToolButton*>(control(c))) button->setIcon(QIcon(MakeGlyph(glyph)));
}

int MainForm::ControlWidth(Control c) {
  const QWidget* widget = control(c);
  return widget != nullptr ? widget->width() : 0;
}

void MainForm::RepaintNow() { repaint(); }

void MainForm::FocusPanel() { panel_->setFocus(Qt::OtherFocusReason); }

int MainForm::TempoPosition() { return tbTempo_->value(); }

// ---- View: song list ----

void MainForm::AddSongItem(const std::string& text) { cbxSong_->addItem(Q(text)); }

void MainForm::SetSongItem(int index, const std::string& text) {
  if (index >= 0 && index < cbxSong_->count()) cbxSong_->setItemText(index, Q(text));
}

int MainForm::SongItemCount() { return cbxSong_->count(); }

std::string MainForm::SongItem(int index) {
  return index >= 0 && index < cbxSong_->count() ? cbxSong_->itemText(index).toStdString() : std::string();
}

void MainForm::SelectSong(int index) { cbxSong_->setCurrentIndex(index); }

int MainForm::SelectedSong() { return cbxSong_->currentIndex(); }

void MainForm::SetSongDroppedWidth(int width) { cbxSong_->view()->setMinimumWidth(width); }

int MainForm::TextWidth(const std::string& text) { return QFontMetrics(font()).horizontalAdvance(Q(text)); }

// ---- View: boxes ----

void MainForm::ShowError(const std::string& message) {
  ShowBox(this, "ErrorBox", QStringLiteral("エラー"), message);
}

void MainForm::ShowApplicationError(const std::string& message) {
  ShowBox(this, "ApplicationErrorBox", QGuiApplication::applicationDisplayName(), message);
}

void MainForm::ShowAboutBox() { aboutBox_->exec(); }

// ---- Events ----

void MainForm::changeEvent(QEvent* event) {
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

void MainForm::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  if (handlers_ != nullptr) {
    bool canClose = true;
    handlers_->FormCloseQuery(canClose);
    if (!canClose) {
      event->ignore();
      return;
    }
  }
  closed_ = true;
  timer1_.stop();
  if (handlers_ != nullptr) handlers_->FormClose();
  event->accept();
}

}  // namespace tonefield

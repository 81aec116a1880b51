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

QColor FromColour(Colour c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

// Message texts carry Windows line breaks; the box wants plain ones.
QString BoxText(const std::string& text) { return Q(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// Texts that may carry file names are shown as they are, never as markup.
QLabel* PlainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
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
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Tonefield "));
  setFont(WindowFont());
  setFixedSize(630, 223);
  BuildPanel();
  aboutBox_ = new TAboutBox(this);
  aboutBox_->setFont(font());
  timer1_.setInterval(250);
  connect(&timer1_, &QTimer::timeout, this, [this] {
    if (Live()) handlers_->Timer1Timer();
  });
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
  // Speed buttons never take the keyboard focus.
  button->setFocusPolicy(Qt::NoFocus);
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
  controls_[Control::Panel1] = panel_;

  auto* txtPanel = PlainLabel(QStringLiteral("Display Panel"), panel_);
  txtPanel->setObjectName("txtPanel");
  txtPanel->setGeometry(8, 12, 233, 17);
  txtPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  txtPanel->setAutoFillBackground(true);
  QPalette lime = txtPanel->palette();
  lime.setColor(QPalette::Window, QColor(0x00, 0xFF, 0x00));
  lime.setColor(QPalette::WindowText, Qt::black);
  txtPanel->setPalette(lime);
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

  auto* label1 = PlainLabel(QStringLiteral("Label1"), panel_);
  label1->setObjectName("Label1");
  label1->move(368, 0);
  label1->adjustSize();
  controls_[Control::Label1] = label1;
  auto* label2 = PlainLabel(QStringLiteral("Label2"), panel_);
  label2->setObjectName("Label2");
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
  controls_[Control::cbxSong] = cbxSong_;
  connect(cbxSong_, &QComboBox::activated, this, [this](int) {
    if (Live()) handlers_->cbxSongChange();
  });

  auto* lblTempo = PlainLabel(QStringLiteral("早さ"), panel_);
  lblTempo->setObjectName("lblTempo");
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
  controls_[Control::tbTempo] = tbTempo_;
  connect(tbTempo_, &QSlider::valueChanged, this, [this](int) {
    if (Live()) handlers_->tbTempoChange();
  });

  auto* txtRecTime = PlainLabel(QStringLiteral("00:00"), panel_);
  txtRecTime->setObjectName("txtRecTime");
  txtRecTime->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // Wide enough for the time in the font actually in use, with a pixel
  // between the digits and the frame on each side.
  const int clockWidth = txtRecTime->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) +
                         2 * txtRecTime->frameWidth() + 2;
  txtRecTime->setGeometry(376, 44, std::max(33, clockWidth), 16);
  txtRecTime->setAlignment(Qt::AlignCenter);
  controls_[Control::txtRecTime] = txtRecTime;
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

void MainForm::CreateKeyButton(const KeyButtonSpec& placement) {
  if (placement.key < 0 || placement.key >= static_cast<int>(keys_.size())) return;
  auto*& slot = keys_[static_cast<std::size_t>(placement.key)];
  delete slot;
  auto* button = new TColorButton(this);
  button->setObjectName(QStringLiteral("key%1").arg(placement.key));
  button->setGeometry(placement.left, placement.top, placement.width, placement.height);
  button->setText(Q(placement.caption));
  button->SetColor(FromColour(placement.colour));
  button->SetFontColor(FromColour(placement.fontColour));
  button->SetKeyNum(placement.key);
  button->SetOnMouseDown([this](TColorButton& b) {
    if (Live()) handlers_->KeyButtonMouseDown(b.KeyNum());
  });
  button->SetOnMouseUp([this](TColorButton& b) {
    if (Live()) handlers_->KeyButtonMouseUp(b.KeyNum());
  });
  button->setProperty("blackKey", placement.black);
  button->show();
  slot = button;
}

void MainForm::RaiseBlackKeysThenPanel() {
  for (TColorButton* key : keys_) {
    if (key != nullptr && key->property("blackKey").toBool()) key->raise();
  }
  panel_->raise();
}

int MainForm::PanelHeight() { return panel_->height(); }

void MainForm::SetPanelWidth(int width) { panel_->resize(width, panel_->height()); }

void MainForm::SetClientWidth(int width) { setFixedSize(width, height()); }

void MainForm::SetClientHeight(int height) { setFixedSize(width(), height); }

// ---- View: controls ----

void MainForm::SetStatusText(const std::string& text) { SetControlText(Control::txtPanel, text); }

void MainForm::SetControlText(Control c, const std::string& text) {
  QWidget* widget = control(c);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(Q(text));
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

// ---- View: keys ----

void MainForm::SetKeyColour(int key, Colour colour) {
  if (TColorButton* button = keyButton(key)) button->SetColor(FromColour(colour));
}

bool MainForm::IsKeyDrawnPressed(int key) {
  const TColorButton* button = keyButton(key);
  return button != nullptr && button->DrawnPressed();
}

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

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
  // Installed on the application only, so each delivery is seen once.
  const QEvent::Type type = event->type();
  if (watched == cbxSong_ && type == QEvent::FocusOut) {
    const auto* focus = static_cast<QFocusEvent*>(event);
    if (focus->reason() != Qt::PopupFocusReason && Live()) handlers_->cbxSongExit();
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  // Held keys are tracked from the strokes of every window: a key-up that a
  // popup or a dialog takes must still count, or the watchdog would keep the
  // note sounding.
  TrackHeldKey(*static_cast<QKeyEvent*>(event));
  // Only the first delivery of a stroke, not its propagation to parents,
  // and only in this window or the song list's drop-down (which counts as
  // the list, whose strokes the window sees first).
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget != KeyReceiver()) return false;
  const QWidget* window = widget->window();
  if (window != this && window != cbxSong_->view()->window()) return false;
  return PreviewKey(*static_cast<QKeyEvent*>(event));
}

QWidget* MainForm::KeyReceiver() {
  // The order in which Qt picks the widget a stroke goes to first: a
  // keyboard grab, then an open popup (its focused child, else itself; the
  // window's focus stays where it was while a popup is open), then the
  // focused control, then the window itself.
  if (QWidget* grabber = QWidget::keyboardGrabber()) return grabber;
  if (QWidget* popup = QApplication::activePopupWidget()) {
    QWidget* focus = popup->focusWidget();
    return focus != nullptr ? focus : popup;
  }
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr ? focus : this;
}

bool MainForm::PreviewKey(QKeyEvent& event) {
  const int vk = translator_.VirtualKey(event);
  if (vk <= 0 || vk >= static_cast<int>(heldBackRelease_.size()) || !Live()) return false;
  std::optional<quint64>& heldBack = heldBackRelease_[static_cast<std::size_t>(vk)];
  if (event.type() == QEvent::KeyPress) {
    if (heldBack.has_value()) {
      // The server sends a repeat's release and press with one time stamp.
      // A press at another time is a new stroke: the key did come up in
      // between, so that release is delivered now.
      const bool sameStroke = event.isAutoRepeat() || *heldBack == event.timestamp();
      heldBack.reset();
      if (!sameStroke) {
        int up = vk;
        handlers_->FormKeyUp(up);
      }
    }
    int key = vk;
    handlers_->FormKeyDown(key);
    return key == 0;
  }
  // The release half of an auto-repeat pair is not a key-up: passing it on
  // would cut and restart the held note.
  if (event.isAutoRepeat()) return false;
  // Qt flags a repeat's release only when the matching press has already
  // arrived, which it often has not. Where the keyboard can be asked, a
  // key that is still down has not been released: the release is held back
  // until a press shows which it was.
  if (keyHeld_.AsksServer() && keyHeld_.IsHeld(vk)) {
    heldBack = event.timestamp();
    return false;
  }
  heldBack.reset();
  int key = vk;
  handlers_->FormKeyUp(key);
  return key == 0;
}

void MainForm::TrackHeldKey(const QKeyEvent& event) {
  if (event.isAutoRepeat()) return;
  const int vk = translator_.VirtualKey(event);
  if (vk == 0) return;
  if (event.type() == QEvent::KeyPress) {
    keyHeld_.Pressed(vk);
  } else {
    keyHeld_.Released(vk);
  }
}

void MainForm::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) keyHeld_.ReleaseAll();
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

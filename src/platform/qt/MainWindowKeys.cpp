// The main window's piano keys: creating them, their colours, the key
// preview that turns PC key strokes into notes, and labels that follow the
// user's keyboard layout.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>

#include "keyboard/KeyMap.h"
#include "platform/qt/Accessibility.h"
#include "platform/qt/WindowHandlers.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/PianoKeyButton.h"

namespace tonefield {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QColor FromColour(Colour c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

}  // namespace

void MainWindow::CreateKeyButton(const KeyButtonSpec& placement) {
  if (placement.key < 0 || placement.key >= static_cast<int>(keys_.size())) return;
  auto*& slot = keys_[static_cast<std::size_t>(placement.key)];
  delete slot;
  auto* button = new PianoKeyButton(this);
  button->setObjectName(QStringLiteral("key%1").arg(placement.key));
  // The core places the keys in the client area, which starts below the menu bar.
  button->setGeometry(placement.left, MenuBarHeight() + placement.top, placement.width, placement.height);
  ownLabels_[static_cast<std::size_t>(placement.key)] = Q(placement.caption);
  button->setAccessibleName(KeyNoteName(placement.key));
  button->SetColor(FromColour(placement.colour));
  button->SetFontColor(FromColour(placement.fontColour));
  button->SetKeyNum(placement.key);
  button->SetOnMouseDown([this](PianoKeyButton& b) {
    if (Live()) handlers_->OnKeyButtonDown(b.KeyNum());
  });
  button->SetOnMouseUp([this](PianoKeyButton& b) {
    if (Live()) handlers_->OnKeyButtonUp(b.KeyNum());
  });
  button->setProperty("blackKey", placement.black);
  button->show();
  slot = button;
  LabelKey(placement.key);
}

void MainWindow::RelabelKeys() {
  layout_.Refresh();
  for (int key = 0; key < static_cast<int>(keys_.size()); ++key) LabelKey(key);
}

void MainWindow::LabelKey(int key) {
  PianoKeyButton* button = keyButton(key);
  if (button == nullptr) return;
  const int scanCode = KeyTranslator::ScanCodeOf(KeyMap[static_cast<std::size_t>(key)].virtualKey);
  QString label = layout_.LabelOf(scanCode);
  if (label.isEmpty()) label = ownLabels_[static_cast<std::size_t>(key)];
  if (button->text() != label) button->setText(label);
  button->setAccessibleDescription(QStringLiteral("PCキー %1").arg(label));
}

void MainWindow::RaiseBlackKeysThenPanel() {
  for (PianoKeyButton* key : keys_) {
    if (key != nullptr && key->property("blackKey").toBool()) key->raise();
  }
  panel_->raise();
}

// ---- View: keys ----

void MainWindow::SetKeyColour(int key, Colour colour) {
  if (PianoKeyButton* button = keyButton(key)) button->SetColor(FromColour(colour));
}

bool MainWindow::IsKeyDrawnPressed(int key) {
  const PianoKeyButton* button = keyButton(key);
  return button != nullptr && button->DrawnPressed();
}

// ---- Events ----

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // Installed on the application only, so each delivery is seen once.
  const QEvent::Type type = event->type();
  if (watched == songBox_ && type == QEvent::FocusOut) {
    // Leaving the list by Tab sends the focus to the next control on
    // purpose; moving it on to the panel would start the Tab order over.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    const bool byTab = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
    if (reason != Qt::PopupFocusReason && !byTab && Live()) handlers_->OnSongListLeft();
    return false;
  }
  // Where the system reports a switch of layout (Windows), the labels follow.
  if (type == QEvent::KeyboardLayoutChange && watched == this) {
    RelabelKeys();
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
  if (window != this && window != songBox_->view()->window()) return false;
  return PreviewKey(*static_cast<QKeyEvent*>(event));
}

QWidget* MainWindow::KeyReceiver() {
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

bool MainWindow::PreviewKey(QKeyEvent& event) {
  const int vk = translator_.VirtualKey(event);
  if (vk <= 0 || vk >= static_cast<int>(heldBackRelease_.size()) || !Live()) return false;
  std::optional<quint64>& heldBack = heldBackRelease_[static_cast<std::size_t>(vk)];
  std::optional<quint64>& delivered = deliveredRelease_[static_cast<std::size_t>(vk)];
  if (event.type() == QEvent::KeyPress) {
    // On a busy machine the key may already be up when a repeat's release
    // is handled, so that release went on as the key-up; its press, with
    // the same time stamp, must not start the note again.
    const bool lateRepeat = delivered == event.timestamp();
    delivered.reset();
    if (lateRepeat) return false;
    // A repeat handled only after the key came up (the window's own watch
    // may have ended the note by then) belongs to a finished stroke.
    const bool repeat = event.isAutoRepeat() || (heldBack.has_value() && *heldBack == event.timestamp());
    if (repeat && keyHeld_.AsksServer() && !keyHeld_.IsHeld(vk)) {
      heldBack.reset();
      return false;
    }
    if (heldBack.has_value()) {
      // The server sends a repeat's release and press with one time stamp.
      // A press at another time is a new stroke: the key did come up in
      // between, so that release is delivered now.
      const bool sameStroke = event.isAutoRepeat() || *heldBack == event.timestamp();
      heldBack.reset();
      if (!sameStroke) {
        int up = vk;
        handlers_->OnKeyUp(up);
      }
    }
    int key = vk;
    handlers_->OnKeyDown(key);
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
  // Only where the server's time stamps tell strokes apart (synthetic
  // events all carry 0).
  if (keyHeld_.AsksServer() && event.timestamp() != 0) delivered = event.timestamp();
  int key = vk;
  handlers_->OnKeyUp(key);
  return key == 0;
}

void MainWindow::TrackHeldKey(const QKeyEvent& event) {
  if (event.isAutoRepeat()) return;
  const int vk = translator_.VirtualKey(event);
  if (vk == 0) return;
  if (event.type() == QEvent::KeyPress) {
    keyHeld_.Pressed(vk);
  } else {
    keyHeld_.Released(vk);
  }
}

}  // namespace tonefield

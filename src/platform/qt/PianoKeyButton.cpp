#include "platform/qt/PianoKeyButton.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace tonefield {

namespace {
const QColor kShadow(0x80, 0x80, 0x80);
const QColor kLight(0xC0, 0xC0, 0xC0);
}  // namespace

PianoKeyButton::PianoKeyButton(QWidget* parent) : QPushButton(parent) {
  // Never a default-button frame, never keyboard-activated.
  setAutoDefault(false);
  setDefault(false);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PianoKeyButton::SetColor(const QColor& color) {
  if (color_ == color) return;
  color_ = color;
  update();
}

void PianoKeyButton::SetFontColor(const QColor& color) {
  fontColor_ = color;
  update();
}

void PianoKeyButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter, isDown() ? kSelected : 0);
}

void PianoKeyButton::Paint(QPainter& painter, int itemState) {
  if (onDraw_) {
    onDraw_(*this, painter, itemState);
    return;
  }
  const int w = width();
  const int h = height();
  const QString caption = text();
  // Measured in the font the painter comes with, before the size is set.
  const QFontMetrics measure(painter.font());
  int x = (w - measure.horizontalAdvance(caption)) / 2;
  int y = h - measure.height() - 5;

  const bool pressed = (itemState & kSelected) != 0;
  QColor left = kLight;
  QColor rightBottom = kShadow;
  if (pressed) {
    drawnPressed_ = true;
    left = kShadow;
    rightBottom = kLight;
    x += 1;
    y += 1;
  } else {
    drawnPressed_ = false;
  }

  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(rect(), color_);
  // Lines end one pixel short of their end point, as a pen moved with
  // MoveTo/LineTo draws them.
  painter.setPen(left);
  for (int i = 0; i < 3; ++i) {
    if (h - 2 - i >= 0) painter.drawLine(i, 0, i, h - 2 - i);
  }
  painter.setPen(rightBottom);
  for (int i = 0; i < 3; ++i) {
    if (h - 2 - i >= 0) painter.drawLine(w - 1 - i, 0, w - 1 - i, h - 2 - i);
    if (w - 2 - i >= i) painter.drawLine(i, h - 1 - i, w - 2 - i, h - 1 - i);
  }
  if (pressed) {
    painter.setPen(Qt::black);
    painter.drawLine(0, 0, 0, h - 1);
    painter.drawLine(w - 1, 0, w - 1, h - 1);
    painter.drawLine(0, h - 1, w - 1, h - 1);
  }

  QFont font = painter.font();
  font.setPointSize(10);
  painter.setFont(font);
  painter.setPen(fontColor_);
  const QFontMetrics drawn(font);
  painter.drawText(QRect(x, y, drawn.horizontalAdvance(caption) + 1, drawn.height()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, caption);
}

void PianoKeyButton::mousePressEvent(QMouseEvent* event) {
  if (onMouseDown_) onMouseDown_(*this);
  QPushButton::mousePressEvent(event);
  event->accept();
}

void PianoKeyButton::mouseReleaseEvent(QMouseEvent* event) {
  QPushButton::mouseReleaseEvent(event);
  if (onMouseUp_) onMouseUp_(*this);
  event->accept();
}

void PianoKeyButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second click of a double click arrives in place of its press: it is
  // an ordinary press of the key.
  mousePressEvent(event);
}

}  // namespace tonefield

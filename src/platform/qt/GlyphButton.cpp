#include "platform/qt/GlyphButton.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace tonefield {

namespace {
constexpr int kGlyph = 12;
constexpr int kSpacing = 4;
}  // namespace

GlyphButton::GlyphButton(QWidget* parent) : QToolButton(parent) {
  setAutoRaise(true);
  setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  setIconSize(QSize(kGlyph, kGlyph));
}

void GlyphButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionToolButton option;
  initStyleOption(&option);
  // The frame only; glyph and caption are placed below.
  option.text.clear();
  option.icon = QIcon();
  painter.drawComplexControl(QStyle::CC_ToolButton, option);

  const QString caption = text();
  const int textWidth = fontMetrics().horizontalAdvance(caption);
  const bool hasGlyph = !icon().isNull();
  const int total = (hasGlyph ? kGlyph + (caption.isEmpty() ? 0 : kSpacing) : 0) + textWidth;
  const int shift = isDown() ? 1 : 0;
  int x = (width() - total) / 2 + shift;
  const int y = shift;
  if (hasGlyph) {
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    painter.drawPixmap(x, (height() - kGlyph) / 2 + y, icon().pixmap(QSize(kGlyph, kGlyph), mode));
    x += kGlyph + kSpacing;
  }
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(QRect(x, y, textWidth + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, caption);
}

}  // namespace tonefield

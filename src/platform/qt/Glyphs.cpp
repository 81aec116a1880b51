#include "platform/qt/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace tonefield {

namespace {

constexpr int kSize = 12;

}  // namespace

QPixmap MakeGlyph(PanelGlyph glyph) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QColor dark(0x00, 0x00, 0x80);
  switch (glyph) {
    case PanelGlyph::Play:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x00, 0x80, 0x00));
      p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(10, 6), QPoint(3, 11)}));
      break;
    case PanelGlyph::Stop:
      p.fillRect(2, 2, 8, 8, QColor(0x00, 0x00, 0x80));
      break;
    case PanelGlyph::Rec:
      p.setRenderHint(QPainter::Antialiasing, true);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xFF, 0x00, 0x00));
      p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
      break;
    case PanelGlyph::Open:
      p.setPen(QColor(0x80, 0x80, 0x00));
      p.setBrush(QColor(0xFF, 0xFF, 0x00));
      p.drawRect(1, 3, 9, 7);
      p.drawLine(1, 2, 4, 2);
      break;
    case PanelGlyph::Save:
      p.fillRect(1, 1, 10, 10, dark);
      p.fillRect(3, 1, 6, 4, Qt::white);
      p.fillRect(3, 7, 6, 4, QColor(0xC0, 0xC0, 0xC0));
      break;
    case PanelGlyph::Mic:
      p.setPen(Qt::black);
      p.setBrush(QColor(0x80, 0x80, 0x80));
      p.drawRoundedRect(4, 0, 4, 7, 2, 2);
      p.drawLine(6, 8, 6, 10);
      p.drawLine(3, 11, 9, 11);
      break;
    case PanelGlyph::Volume:
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::black);
      p.drawPolygon(QPolygon({QPoint(1, 4), QPoint(3, 4), QPoint(6, 1), QPoint(6, 10), QPoint(3, 7),
                              QPoint(1, 7)}));
      p.setPen(Qt::black);
      p.drawLine(8, 3, 8, 8);
      p.drawLine(10, 1, 10, 10);
      break;
    case PanelGlyph::Score:
      p.setPen(Qt::black);
      p.setBrush(Qt::black);
      p.drawEllipse(1, 7, 4, 3);
      p.drawLine(5, 1, 5, 8);
      p.drawLine(5, 1, 10, 3);
      break;
    case PanelGlyph::About:
      p.setPen(dark);
      p.setBrush(Qt::white);
      p.drawEllipse(0, 0, 11, 11);
      p.drawLine(6, 5, 6, 9);
      p.drawPoint(6, 3);
      break;
    case PanelGlyph::Quit:
      p.setPen(QPen(QColor(0x80, 0x00, 0x00), 2));
      p.drawLine(2, 2, 9, 9);
      p.drawLine(9, 2, 2, 9);
      break;
  }
  return pixmap;
}

QPixmap MakeGlyph(Glyph glyph) {
  switch (glyph) {
    case Glyph::Play: return MakeGlyph(PanelGlyph::Play);
    case Glyph::Stop: return MakeGlyph(PanelGlyph::Stop);
    case Glyph::Rec: return MakeGlyph(PanelGlyph::Rec);
  }
  return MakeGlyph(PanelGlyph::Play);
}

QIcon MakeApplicationIcon() {
  // The project's icon, the picture the desktop entry shows too.
  return QIcon(QStringLiteral(":/tonefield/tonefield.png"));
}

}  // namespace tonefield

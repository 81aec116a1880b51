// A flat tool button with its glyph beside its caption: the 12x12 glyph
// and the caption side by side, 4 pixels apart, centred as a pair, never
// elided. The frame appears only under the mouse or while pressed.
#pragma once

#include <QToolButton>

namespace tonefield {

class GlyphButton : public QToolButton {
 public:
  explicit GlyphButton(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tonefield

// A piano key: a push button that paints itself in a solid colour with a
// three-pixel bevel and a centred one-character caption near its bottom,
// sunken while pressed. It remembers whether its last built-in paint drew
// it pressed. A quick second click is a second press, never a double click.
#pragma once

#include <QColor>
#include <QPushButton>
#include <functional>

class QPainter;

namespace tonefield {

class PianoKeyButton : public QPushButton {
 public:
  // Replaces the built-in painting when set: (button, painter, item state;
  // bit 0 set while pressed).
  using DrawFunction = std::function<void(PianoKeyButton&, QPainter&, int)>;
  // Mouse-down / mouse-up of any mouse button.
  using MouseHandler = std::function<void(PianoKeyButton&)>;

  explicit PianoKeyButton(QWidget* parent = nullptr);

  QColor Color() const { return color_; }
  void SetColor(const QColor& color);
  QColor FontColor() const { return fontColor_; }
  void SetFontColor(const QColor& color);
  int KeyNum() const { return keyNum_; }
  void SetKeyNum(int key) { keyNum_ = key; }
  void SetOnDraw(DrawFunction onDraw) { onDraw_ = std::move(onDraw); }
  void SetOnMouseDown(MouseHandler handler) { onMouseDown_ = std::move(handler); }
  void SetOnMouseUp(MouseHandler handler) { onMouseUp_ = std::move(handler); }

  // Whether the last built-in paint drew the key pressed.
  bool DrawnPressed() const { return drawnPressed_; }

  // Item-state bit for "pressed".
  static constexpr int kSelected = 0x0001;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Paint(QPainter& painter, int itemState);

  QColor color_{Qt::white};
  QColor fontColor_{Qt::black};
  int keyNum_ = 0;
  bool drawnPressed_ = false;
  DrawFunction onDraw_;
  MouseHandler onMouseDown_;
  MouseHandler onMouseUp_;
};

}  // namespace tonefield

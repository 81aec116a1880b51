// The splash window shown while the main window builds its state:
// borderless, 297x89, centred, a bevel over the whole client area and two
// centred lines of text.
#pragma once

#include <QWidget>

class QLabel;

namespace tonefield {

class SplashScreen : public QWidget {
 public:
  explicit SplashScreen(const QFont& font, QWidget* parent = nullptr);
  // Shows the window and paints it before returning.
  void ShowAndPaint();

  QLabel* titleLabel = nullptr;  // "Tonefield V0.7"
  QLabel* waitLabel = nullptr;   // the please-wait line
};

}  // namespace tonefield

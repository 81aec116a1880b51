#include "platform/qt/SplashScreen.h"

#include <QGuiApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>

namespace tonefield {

SplashScreen::SplashScreen(const QFont& font, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("splashScreen");
  setFont(font);
  setFixedSize(297, 89);
  auto* frame = new QFrame(this);
  frame->setObjectName("frame");
  frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
  frame->setGeometry(0, 0, 297, 89);
  titleLabel = new QLabel(QStringLiteral("Tonefield V0.7"), this);
  titleLabel->setObjectName("titleLabel");
  titleLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  titleLabel->setGeometry(8, 24, 281, 16);
  waitLabel = new QLabel(QStringLiteral("初期化中です。しばらくお待ちください..."), this);
  waitLabel->setObjectName("waitLabel");
  waitLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  waitLabel->setGeometry(8, 56, 281, 16);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void SplashScreen::ShowAndPaint() {
  show();
  raise();
  repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tonefield

#include "platform/qt/TForm2.h"

#include <QGuiApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>

namespace tonefield {

TForm2::TForm2(const QFont& font, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("Form2");
  setFont(font);
  setFixedSize(297, 89);
  auto* bevel = new QFrame(this);
  bevel->setObjectName("Bevel1");
  bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  bevel->setGeometry(0, 0, 297, 89);
  Label1 = new QLabel(QStringLiteral("Tonefield V0.7"), this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label1->setGeometry(8, 24, 281, 16);
  Label2 = new QLabel(QStringLiteral("初期化中です。しばらくお待ちください..."), this);
  Label2->setObjectName("Label2");
  Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label2->setGeometry(8, 56, 281, 16);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TForm2::ShowAndPaint() {
  show();
  raise();
  repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tonefield

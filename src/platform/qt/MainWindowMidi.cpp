// The window's MIDI controls: a small light that flashes while MIDI notes
// come in, and a panic button that ends every note. Both sit in gaps the
// panel's rows leave, so no control of the panel moves.
#include <QLabel>
#include <QToolButton>

#include "platform/qt/GlyphButton.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/WindowHandlers.h"

namespace tonefield {

namespace {

const QColor kLightOff(0x40, 0x60, 0x40);
const QColor kLightOn(0x00, 0xFF, 0x00);

}  // namespace

void MainWindow::BuildMidiControls() {
  // Between the sample recording button (ends at 465) and the input volume
  // button (starts at 480).
  midiLight_ = new QLabel(panel_);
  midiLight_->setObjectName("midiLight");
  midiLight_->setGeometry(468, 16, 9, 9);
  midiLight_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  midiLight_->setAutoFillBackground(true);
  midiLight_->setAccessibleName(QStringLiteral("MIDI"));
  SetMidiLight(false);
  SetMidiDescription("MIDI: オフ");

  // Between the performance recording button (ends at 489) and About (starts at 528).
  panicButton_ = new GlyphButton(panel_);
  panicButton_->setObjectName("panicButton");
  panicButton_->setGeometry(491, 40, 35, 25);
  panicButton_->setText(QStringLiteral("消音"));
  panicButton_->setToolTip(QStringLiteral("すべての音を止めます（Esc）"));
  panicButton_->setAccessibleDescription(panicButton_->toolTip());
  // Tab walks the panel's own controls; from the keyboard, Esc is the panic.
  panicButton_->setFocusPolicy(Qt::NoFocus);
  connect(panicButton_, &QToolButton::clicked, this, [this] {
    if (Live()) handlers_->OnPanicClicked();
  });
}

void MainWindow::SetMidiLight(bool lit) {
  midiLightLit_ = lit;
  QPalette palette = midiLight_->palette();
  palette.setColor(QPalette::Window, lit ? kLightOn : kLightOff);
  midiLight_->setPalette(palette);
}

void MainWindow::SetMidiDescription(const std::string& text) {
  const QString description = QString::fromStdString(text);
  midiLight_->setToolTip(description);
  midiLight_->setAccessibleDescription(description);
}

}  // namespace tonefield

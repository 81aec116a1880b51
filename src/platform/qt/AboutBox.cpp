#include "platform/qt/AboutBox.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "platform/qt/Glyphs.h"

namespace tonefield {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  setFixedSize(298, 177);
  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setGeometry(8, 8, 281, 121);

  ProgramIcon = new QLabel(panel);
  ProgramIcon->setObjectName("ProgramIcon");
  const QIcon icon = QApplication::windowIcon().isNull() ? MakeApplicationIcon() : QApplication::windowIcon();
  ProgramIcon->setPixmap(icon.pixmap(32, 32));
  ProgramIcon->setGeometry(8, 8, 32, 32);

  ProductName = new QLabel(QStringLiteral("Tonefield"), panel);
  ProductName->setObjectName("ProductName");
  ProductName->setGeometry(88, 16, 180, 16);
  Version = new QLabel(QStringLiteral("V0.7"), panel);
  Version->setObjectName("Version");
  Version->setGeometry(88, 40, 180, 16);
  Copyright = new QLabel(QStringLiteral("Copyright (C) the Tonefield developers"), panel);
  Copyright->setObjectName("Copyright");
  Copyright->setGeometry(8, 80, 265, 16);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName("OKButton");
  OKButton->setGeometry(111, 140, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tonefield

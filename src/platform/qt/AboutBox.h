// The version dialog: the application icon, the product name, the version,
// a copyright line and an OK button that closes it.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tonefield {

class AboutBox : public QDialog {
 public:
  explicit AboutBox(QWidget* parent = nullptr);

  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;  // "Tonefield"
  QLabel* Version = nullptr;      // "V0.7"
  QLabel* Copyright = nullptr;
  QPushButton* OKButton = nullptr;
};

}  // namespace tonefield

// GoogleTest inside a QApplication, for tests that need widgets.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tonefield"));
  return RUN_ALL_TESTS();
}

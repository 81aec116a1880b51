#include "platform/qt/PianoKeyButton.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>

#include "platform/qt/MainWindow.h"
#include "platform/qt/QtTestSupport.h"

namespace tonefield {
namespace {

const QRgb kShadowRgb = qRgb(0x80, 0x80, 0x80);
const QRgb kLightRgb = qRgb(0xC0, 0xC0, 0xC0);

QImage Render(PianoKeyButton& button) { return button.grab().toImage(); }

// Bounding box of the pixels in the caption colour below the key's middle.
QRect CaptionBox(const QImage& image, QRgb ink) {
  QRect box;
  for (int y = image.height() / 2; y < image.height() - 3; ++y) {
    for (int x = 3; x < image.width() - 3; ++x) {
      if (image.pixel(x, y) == ink) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

class KeyButton : public ::testing::Test {
 protected:
  void SetUp() override {
    button_.setGeometry(0, 0, 30, 150);
    button_.setText(QStringLiteral("Z"));
    button_.SetColor(Qt::white);
    button_.SetFontColor(Qt::black);
    button_.SetKeyNum(0);
    button_.SetOnMouseDown([this](PianoKeyButton& b) { log_.push_back("down " + std::to_string(b.KeyNum())); });
    button_.SetOnMouseUp([this](PianoKeyButton& b) { log_.push_back("up " + std::to_string(b.KeyNum())); });
  }
  PianoKeyButton button_;
  std::vector<std::string> log_;
};

TEST_F(KeyButton, RaisedKeyHasLightLeftAndDarkRightAndBottomEdges) {
  const QImage image = Render(button_);
  EXPECT_FALSE(button_.DrawnPressed());
  struct Pixel {
    int x, y;
    QRgb rgb;
  };
  const Pixel expected[] = {
      {0, 10, kLightRgb},  {2, 10, kLightRgb},   {3, 10, qRgb(255, 255, 255)},
      {29, 10, kShadowRgb}, {27, 10, kShadowRgb}, {26, 10, qRgb(255, 255, 255)},
      {10, 149, kShadowRgb}, {10, 147, kShadowRgb}, {10, 146, qRgb(255, 255, 255)},
      {0, 0, kLightRgb},   {15, 40, qRgb(255, 255, 255)},
  };
  for (const Pixel& p : expected) {
    EXPECT_EQ(image.pixel(p.x, p.y), p.rgb) << p.x << "," << p.y;
  }
}

TEST_F(KeyButton, PressedKeyIsSunkenWithBlackLinesAndItsCaptionMovesByOnePixel) {
  const QRect raisedCaption = CaptionBox(Render(button_), qRgb(0, 0, 0));
  ASSERT_TRUE(raisedCaption.isValid());
  EXPECT_LE(raisedCaption.bottom(), 150 - 5);

  QTest::mousePress(&button_, Qt::LeftButton, {}, QPoint(15, 100));
  const QImage pressed = Render(button_);
  EXPECT_TRUE(button_.DrawnPressed());
  EXPECT_EQ(pressed.pixel(0, 10), qRgb(0, 0, 0));
  EXPECT_EQ(pressed.pixel(29, 10), qRgb(0, 0, 0));
  EXPECT_EQ(pressed.pixel(10, 149), qRgb(0, 0, 0));
  EXPECT_EQ(pressed.pixel(1, 10), kShadowRgb);
  EXPECT_EQ(pressed.pixel(28, 10), kLightRgb);
  EXPECT_EQ(pressed.pixel(10, 148), kLightRgb);
  EXPECT_EQ(CaptionBox(pressed, qRgb(0, 0, 0)).topLeft(), raisedCaption.topLeft() + QPoint(1, 1));

  QTest::mouseRelease(&button_, Qt::LeftButton, {}, QPoint(15, 100));
  const QImage released = Render(button_);
  EXPECT_FALSE(button_.DrawnPressed());
  EXPECT_EQ(released.pixel(0, 10), kLightRgb);
  EXPECT_EQ((std::vector<std::string>{"down 0", "up 0"}), log_);
}

TEST_F(KeyButton, FaceColourFollowsColorAndOnDrawReplacesThePainting) {
  button_.SetColor(QColor(255, 0, 0));
  EXPECT_EQ(Render(button_).pixel(15, 40), qRgb(255, 0, 0));

  int calls = 0;
  int lastState = -1;
  button_.SetOnDraw([&](PianoKeyButton&, QPainter& painter, int state) {
    ++calls;
    lastState = state;
    painter.fillRect(QRect(0, 0, 30, 150), Qt::blue);
  });
  QTest::mousePress(&button_, Qt::LeftButton);
  const QImage image = Render(button_);
  EXPECT_GE(calls, 1);
  EXPECT_EQ(lastState & PianoKeyButton::kSelected, PianoKeyButton::kSelected);
  EXPECT_EQ(image.pixel(0, 10), qRgb(0, 0, 255));
  EXPECT_FALSE(button_.DrawnPressed()) << "only the built-in paint sets the flag";
  QTest::mouseRelease(&button_, Qt::LeftButton);
}

TEST_F(KeyButton, AnyMouseButtonStartsAndEndsTheNote) {
  QTest::mouseClick(&button_, Qt::RightButton);
  QTest::mouseClick(&button_, Qt::MiddleButton);
  EXPECT_EQ((std::vector<std::string>{"down 0", "up 0", "down 0", "up 0"}), log_);
}

TEST(KeyButtonOnWindow, AFastDoubleClickIsTwoPresses) {
  MainWindow window;
  testing::RecordingHandlers handlers;
  window.SetHandlers(&handlers);
  for (const KeyButtonSpec& placement : testing::PianoKeys(window.PanelHeight())) window.CreateKeyButton(placement);
  window.RaiseBlackKeysThenPanel();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  // Through the window system path, where Qt turns the second press into a double click.
  const QPoint onKey0(15, 200);
  QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, onKey0);
  EXPECT_EQ((std::vector<std::string>{"down 0", "up 0", "down 0", "up 0"}), handlers.log);
}

}  // namespace
}  // namespace tonefield

#include "platform/qt/Accessibility.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QSlider>
#include <cmath>

namespace tonefield {

namespace {

constexpr const char* kNoteNames[12] = {"ド", "ド♯", "レ", "レ♯", "ミ", "ファ", "ファ♯", "ソ", "ソ♯", "ラ", "ラ♯", "シ"};
constexpr int kLowestOctave = 3;

// The tempo bar: a slider whose value reads as a percentage of the score's
// tempo; an assistive tool that sets a percentage gets the nearest position.
class TempoBarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit TempoBarAccessible(QSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Value) return QStringLiteral("%1%").arg(TempoPercent(slider()->value()));
    return QAccessibleWidget::text(type);
  }
  QVariant currentValue() const override { return TempoPercent(slider()->value()); }
  void setCurrentValue(const QVariant& value) override {
    const double percent = value.toDouble();
    if (percent <= 0) return;
    slider()->setValue(static_cast<int>(std::lround(5 + 5 * std::log2(percent / 100))));
  }
  QVariant maximumValue() const override { return TempoPercent(slider()->maximum()); }
  QVariant minimumValue() const override { return TempoPercent(slider()->minimum()); }
  QVariant minimumStepSize() const override { return {}; }  // the steps are not even

 private:
  QSlider* slider() const { return static_cast<QSlider*>(widget()); }
};

// The status line: a status bar named by what it says.
class StatusLineAccessible final : public QAccessibleWidget {
 public:
  explicit StatusLineAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StatusBar) {}

  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      return static_cast<QLabel*>(widget())->text();
    }
    return QAccessibleWidget::text(type);
  }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (object == nullptr) return nullptr;
  if (className == QLatin1String("QSlider") && object->objectName() == QLatin1String("tempoBar")) {
    return new TempoBarAccessible(static_cast<QSlider*>(object));
  }
  if (className == QLatin1String("QLabel") && object->objectName() == QLatin1String("statusLine")) {
    return new StatusLineAccessible(static_cast<QLabel*>(object));
  }
  return nullptr;
}

}  // namespace

QString KeyNoteName(int key) {
  if (key < 0) return {};
  return QStringLiteral("%1 %2").arg(QString::fromUtf8(kNoteNames[key % 12])).arg(kLowestOctave + key / 12);
}

int TempoPercent(int position) { return static_cast<int>(std::lround(100 * std::exp2((position - 5) / 5.0))); }

void InstallAccessibleInterfaces() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace tonefield

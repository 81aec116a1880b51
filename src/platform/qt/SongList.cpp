#include "platform/qt/SongList.h"

#include <QProxyStyle>

namespace tonefield {

namespace {

// The running style in all but one point: a combo box's list is a list
// that drops down, not a menu laid over the control.
class DropDownStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

SongList::SongList(QWidget* parent) : QComboBox(parent) {
  auto* style = new DropDownStyle;
  style->setParent(this);
  setStyle(style);
}

}  // namespace tonefield

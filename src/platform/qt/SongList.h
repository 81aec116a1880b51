// The song list: a drop-down list without an edit field that opens below
// itself like a plain list box (or above, where the screen ends), whatever
// the style would do; Fusion, for one, lays the open list over the control
// so that the chosen entry stays in place.
#pragma once

#include <QComboBox>

namespace tonefield {

class SongList : public QComboBox {
 public:
  explicit SongList(QWidget* parent = nullptr);
};

}  // namespace tonefield

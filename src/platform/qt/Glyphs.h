// Our own button artwork: the 12x12 glyphs of the speed buttons, drawn in
// code, and the application icon (data/icons, built into the program).
#pragma once

#include <QIcon>
#include <QPixmap>

#include "app/View.h"

namespace tonefield {

enum class PanelGlyph { Play, Stop, Rec, Open, Save, Mic, Volume, Score, About, Quit };

QPixmap MakeGlyph(PanelGlyph glyph);  // 12x12
QPixmap MakeGlyph(Glyph glyph);
QIcon MakeApplicationIcon();

}  // namespace tonefield

// Our own button artwork, drawn in code: the 12x12 glyphs of the speed
// buttons and the application icon.
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

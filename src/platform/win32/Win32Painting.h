// Drawing of the window's own pieces with GDI: the panel buttons' 12x12
// glyphs, a flat button, and a piano key in its colour.
#pragma once

#include <windows.h>

#include <string>

#include "app/View.h"

namespace tonefield {

// The panel's glyphs: the three the core switches between and the others.
enum class PanelGlyph { Play, Stop, Rec, Open, Save, Mic, Volume, Score, About, Quit };

PanelGlyph PanelGlyphOf(Glyph glyph);

// Draws a glyph at (x, y), 12x12 logical pixels scaled by scale/96;
// greyed when the button is disabled.
void DrawGlyph(HDC dc, int x, int y, PanelGlyph glyph, bool enabled, int dpi);

struct FlatButtonLook {
  bool pressed = false;
  bool hot = false;
  bool enabled = true;
  bool focused = false;
};
// A flat button: frame only while hot or pressed, glyph and caption centred.
void DrawFlatButton(HDC dc, const RECT& rect, const std::wstring& caption, int panelGlyph, HFONT font,
                    const FlatButtonLook& look, int dpi);

struct PianoKeyLook {
  Colour colour = kColourWhite;
  Colour fontColour = kColourBlack;
  bool pressed = false;
};
// A piano key of size width x height: its colour, a three-pixel bevel (sunk
// while pressed) and the label near the bottom. The label is placed by its
// width in measureFont and drawn in labelFont.
void DrawPianoKey(HDC dc, int width, int height, const std::wstring& label, HFONT measureFont, HFONT labelFont,
                  const PianoKeyLook& look);

}  // namespace tonefield

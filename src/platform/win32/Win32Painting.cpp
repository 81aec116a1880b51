#include "platform/win32/Win32Painting.h"

#include <array>

namespace tonefield {

namespace {

COLORREF Rgb(int r, int g, int b) { return RGB(r, g, b); }

// Selects a pen and a brush for as long as it lives; null ones are GDI's empty ones.
class PenAndBrush {
 public:
  PenAndBrush(HDC dc, HPEN pen, HBRUSH brush) : dc_(dc), pen_(pen), brush_(brush) {
    oldPen_ = SelectObject(dc, pen != nullptr ? static_cast<HGDIOBJ>(pen) : GetStockObject(NULL_PEN));
    oldBrush_ = SelectObject(dc, brush != nullptr ? static_cast<HGDIOBJ>(brush) : GetStockObject(NULL_BRUSH));
  }
  ~PenAndBrush() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    if (pen_ != nullptr) DeleteObject(pen_);
    if (brush_ != nullptr) DeleteObject(brush_);
  }
  PenAndBrush(const PenAndBrush&) = delete;
  PenAndBrush& operator=(const PenAndBrush&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HBRUSH brush_;
  HGDIOBJ oldPen_;
  HGDIOBJ oldBrush_;
};

void Fill(HDC dc, int x, int y, int w, int h, COLORREF colour) {
  const RECT rect{x, y, x + w, y + h};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

// The glyph at 96 dpi in a 12x12 memory bitmap whose background is `back`.
void PaintGlyph(HDC dc, PanelGlyph glyph, bool enabled) {
  const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
  auto c = [&](COLORREF colour) { return enabled ? colour : grey; };
  auto pen = [&](COLORREF colour, int width = 1) { return CreatePen(PS_SOLID, width, c(colour)); };
  auto brush = [&](COLORREF colour) { return CreateSolidBrush(c(colour)); };
  const COLORREF dark = Rgb(0x00, 0x00, 0x80);
  switch (glyph) {
    case PanelGlyph::Play: {
      PenAndBrush use(dc, nullptr, brush(Rgb(0x00, 0x80, 0x00)));
      const POINT points[] = {{3, 1}, {10, 6}, {3, 11}};
      Polygon(dc, points, 3);
      break;
    }
    case PanelGlyph::Stop: Fill(dc, 2, 2, 8, 8, c(dark)); break;
    case PanelGlyph::Rec: {
      PenAndBrush use(dc, nullptr, brush(Rgb(0xFF, 0x00, 0x00)));
      Ellipse(dc, 2, 2, 11, 11);
      break;
    }
    case PanelGlyph::Open: {
      PenAndBrush use(dc, pen(Rgb(0x80, 0x80, 0x00)), brush(Rgb(0xFF, 0xFF, 0x00)));
      Rectangle(dc, 1, 3, 11, 11);
      Line(dc, 1, 2, 5, 2);
      break;
    }
    case PanelGlyph::Save:
      Fill(dc, 1, 1, 10, 10, c(dark));
      Fill(dc, 3, 1, 6, 4, c(Rgb(0xFF, 0xFF, 0xFF)));
      Fill(dc, 3, 7, 6, 4, c(Rgb(0xC0, 0xC0, 0xC0)));
      break;
    case PanelGlyph::Mic: {
      PenAndBrush use(dc, pen(Rgb(0, 0, 0)), brush(Rgb(0x80, 0x80, 0x80)));
      RoundRect(dc, 4, 0, 9, 8, 4, 4);
      Line(dc, 6, 8, 6, 11);
      Line(dc, 3, 11, 10, 11);
      break;
    }
    case PanelGlyph::Volume: {
      PenAndBrush use(dc, pen(Rgb(0, 0, 0)), brush(Rgb(0, 0, 0)));
      const POINT points[] = {{1, 4}, {3, 4}, {6, 1}, {6, 10}, {3, 7}, {1, 7}};
      Polygon(dc, points, 6);
      Line(dc, 8, 3, 8, 9);
      Line(dc, 10, 1, 10, 11);
      break;
    }
    case PanelGlyph::Score: {
      PenAndBrush use(dc, pen(Rgb(0, 0, 0)), brush(Rgb(0, 0, 0)));
      Ellipse(dc, 1, 7, 6, 11);
      Line(dc, 5, 1, 5, 9);
      Line(dc, 5, 1, 11, 3);
      break;
    }
    case PanelGlyph::About: {
      PenAndBrush use(dc, pen(dark), brush(Rgb(0xFF, 0xFF, 0xFF)));
      Ellipse(dc, 0, 0, 12, 12);
      Line(dc, 6, 5, 6, 10);
      SetPixelV(dc, 6, 3, c(dark));
      break;
    }
    case PanelGlyph::Quit: {
      PenAndBrush use(dc, pen(Rgb(0x80, 0x00, 0x00), 2), nullptr);
      Line(dc, 2, 2, 9, 9);
      Line(dc, 9, 2, 2, 9);
      break;
    }
  }
}

}  // namespace

PanelGlyph PanelGlyphOf(Glyph glyph) {
  switch (glyph) {
    case Glyph::Play: return PanelGlyph::Play;
    case Glyph::Stop: return PanelGlyph::Stop;
    case Glyph::Rec: return PanelGlyph::Rec;
  }
  return PanelGlyph::Play;
}

void DrawGlyph(HDC dc, int x, int y, PanelGlyph glyph, bool enabled, int dpi) {
  // Drawn at 12x12 over the button's face, then scaled (1:1 at 96 dpi).
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 12, 12);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const int size = MulDiv(12, dpi, 96);
  StretchBlt(memory, 0, 0, 12, 12, dc, x, y, size, size, SRCCOPY);
  PaintGlyph(memory, glyph, enabled);
  StretchBlt(dc, x, y, size, size, memory, 0, 0, 12, 12, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

void DrawFlatButton(HDC dc, const RECT& rect, const std::wstring& caption, int panelGlyph, HFONT font,
                    const FlatButtonLook& look, int dpi) {
  FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
  RECT frame = rect;
  if (look.pressed) {
    DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
  } else if (look.hot && look.enabled) {
    DrawEdge(dc, &frame, BDR_RAISEDINNER, BF_RECT);
  }
  HGDIOBJ oldFont = SelectObject(dc, font);
  SIZE text{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
  const int glyph = MulDiv(12, dpi, 96);
  const int spacing = MulDiv(4, dpi, 96);
  const bool hasGlyph = panelGlyph >= 0;
  const int total = (hasGlyph ? glyph + (caption.empty() ? 0 : spacing) : 0) + text.cx;
  const int shift = look.pressed ? 1 : 0;
  int x = rect.left + (rect.right - rect.left - total) / 2 + shift;
  const int height = rect.bottom - rect.top;
  if (hasGlyph) {
    DrawGlyph(dc, x, rect.top + (height - glyph) / 2 + shift, static_cast<PanelGlyph>(panelGlyph), look.enabled,
              dpi);
    x += glyph + spacing;
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(look.enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  RECT textRect{x, rect.top + shift, x + text.cx + 1, rect.bottom + shift};
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (look.focused) {
    RECT focus = rect;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }
  SelectObject(dc, oldFont);
}

void DrawPianoKey(HDC dc, int w, int h, const std::wstring& label, HFONT measureFont, HFONT labelFont,
                  const PianoKeyLook& look) {
  const COLORREF shadow = Rgb(0x80, 0x80, 0x80);
  const COLORREF light = Rgb(0xC0, 0xC0, 0xC0);
  const auto colour = static_cast<COLORREF>(look.colour);  // 0x00BBGGRR, GDI's own order
  HGDIOBJ oldFont = SelectObject(dc, measureFont);
  SIZE measured{};
  GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &measured);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  int x = (w - measured.cx) / 2;
  int y = h - metrics.tmHeight - 5;
  COLORREF left = light;
  COLORREF rightBottom = shadow;
  if (look.pressed) {
    left = shadow;
    rightBottom = light;
    x += 1;
    y += 1;
  }
  Fill(dc, 0, 0, w, h, colour);
  {
    PenAndBrush use(dc, CreatePen(PS_SOLID, 1, left), nullptr);
    for (int i = 0; i < 3; ++i) {
      if (h - 2 - i >= 0) Line(dc, i, 0, i, h - 1 - i);
    }
  }
  {
    PenAndBrush use(dc, CreatePen(PS_SOLID, 1, rightBottom), nullptr);
    for (int i = 0; i < 3; ++i) {
      if (h - 2 - i >= 0) Line(dc, w - 1 - i, 0, w - 1 - i, h - 1 - i);
      if (w - 2 - i >= i) Line(dc, i, h - 1 - i, w - 1 - i, h - 1 - i);
    }
  }
  if (look.pressed) {
    PenAndBrush use(dc, CreatePen(PS_SOLID, 1, Rgb(0, 0, 0)), nullptr);
    Line(dc, 0, 0, 0, h);
    Line(dc, w - 1, 0, w - 1, h);
    Line(dc, 0, h - 1, w, h - 1);
  }
  SelectObject(dc, labelFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(look.fontColour));
  TextOutW(dc, x, y, label.c_str(), static_cast<int>(label.size()));
  SelectObject(dc, oldFont);
}

}  // namespace tonefield

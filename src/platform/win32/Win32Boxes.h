// The start-up splash and the About box, as plain Win32 windows.
#pragma once

#include <windows.h>

namespace tonefield {

void RegisterBoxClasses(HINSTANCE instance);
// Shown centred on the screen, on top, and painted before it returns.
HWND ShowSplashWindow(HINSTANCE instance, HFONT font);
// Modal over owner until OK, Enter, Esc or the close box.
void RunAboutBox(HINSTANCE instance, HWND owner, HFONT font, UINT dpi);

}  // namespace tonefield

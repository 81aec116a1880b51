// Names and descriptions that assistive technology (MSAA/UI Automation)
// reads for controls whose own text does not say what they are: the status
// line, the song list, the tempo bar, and the owner-drawn piano keys.
#pragma once

#include <windows.h>

#include <string>

namespace tonefield {

// Both are best effort: a system without the property service keeps the
// control's own text.
void SetAccessibleName(HWND control, const std::wstring& name);
void SetAccessibleDescription(HWND control, const std::wstring& description);
// The note a piano key plays, as a screen reader says it ("ド 3").
std::wstring KeyNoteName(int key);
void ReleaseAccessibility();

}  // namespace tonefield

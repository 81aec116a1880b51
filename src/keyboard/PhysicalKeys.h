// The physical keys of the main block by set-1 scan code, each with the
// Windows virtual-key code it carries on a Japanese (JIS) keyboard: the
// piano rows are bound to physical keys, so they stay where they are
// whatever layout the user has chosen. Both front-ends translate through it.
#pragma once

namespace tonefield {

// The virtual-key code of a set-1 scan code (evdev's code for these keys), 0 when none.
int VirtualKeyOfScanCode(int scanCode);
// The set-1 scan code of the key that carries this virtual-key code on a
// JIS keyboard, 0 when none.
int ScanCodeOfVirtualKey(int virtualKey);

}  // namespace tonefield

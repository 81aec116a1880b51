#include "keyboard/PhysicalKeys.h"

#include <array>
#include <utility>

namespace tonefield {

namespace {

// Physical keys of the main block: set-1 scan code (equal to the Linux evdev
// code for these keys) and the virtual-key code the key has on a JIS keyboard.
// The last two (ro, yen) are evdev codes only; Windows reports them as 0x73
// and 0x7D, which then go by their Qt key.
constexpr std::array<std::pair<int, int>, 59> kScanToVirtualKey{{
    {1, 0x1B},                                     // Esc
    {2, '1'},  {3, '2'},  {4, '3'},  {5, '4'},  {6, '5'},
    {7, '6'},  {8, '7'},  {9, '8'},  {10, '9'}, {11, '0'},
    {12, 0xBD},                                    // - =
    {13, 0xDE},                                    // ^ ~
    {14, 0x08},                                    // Backspace
    {15, 0x09},                                    // Tab
    {16, 'Q'}, {17, 'W'}, {18, 'E'}, {19, 'R'}, {20, 'T'},
    {21, 'Y'}, {22, 'U'}, {23, 'I'}, {24, 'O'}, {25, 'P'},
    {26, 0xC0},                                    // @ `
    {27, 0xDB},                                    // [ {
    {28, 0x0D},                                    // Enter
    {29, 0x11},                                    // Ctrl
    {30, 'A'}, {31, 'S'}, {32, 'D'}, {33, 'F'}, {34, 'G'},
    {35, 'H'}, {36, 'J'}, {37, 'K'}, {38, 'L'},
    {39, 0xBB},                                    // ; +
    {40, 0xBA},                                    // : *
    {41, 0xF3},                                    // hankaku/zenkaku
    {42, 0x10},                                    // Shift
    {43, 0xDD},                                    // ] }
    {44, 'Z'}, {45, 'X'}, {46, 'C'}, {47, 'V'}, {48, 'B'},
    {49, 'N'}, {50, 'M'},
    {51, 0xBC},                                    // , <
    {52, 0xBE},                                    // . >
    {53, 0xBF},                                    // / ?
    {54, 0x10},                                    // right Shift
    {56, 0x12},                                    // Alt
    {57, 0x20},                                    // Space
    {58, 0x14},                                    // Caps Lock
    {89, 0xE2},                                    // \ _ (ro)
    {124, 0xDC},                                   // yen |
}};

}  // namespace

int VirtualKeyOfScanCode(int scanCode) {
  for (const auto& [scan, vk] : kScanToVirtualKey) {
    if (scan == scanCode) return vk;
  }
  return 0;
}

int ScanCodeOfVirtualKey(int virtualKey) {
  for (const auto& [scan, vk] : kScanToVirtualKey) {
    if (vk == virtualKey) return scan;
  }
  return 0;
}

}  // namespace tonefield

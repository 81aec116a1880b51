#include "keyboard/KeyMap.h"

namespace tonefield {

// Z row white and A row black for keys 0..16, Q row white and digit row
// black for keys 17..35 (Japanese layout for 0xBB and 0xC0).
const std::array<KeyMapEntry, kKeyCount> KeyMap = {{
    {0x5A, 0},   {0x53, 0},   {0x58, 0},   {0x44, 0},   {0x43, 0},   {0x56, 0},
    {0x47, 0},   {0x42, 0},   {0x48, 0},   {0x4E, 0},   {0x4A, 0},   {0x4D, 0},
    {0xBC, ','}, {0x4C, 0},   {0xBE, '.'}, {0xBB, ';'}, {0xBF, '/'}, {0x51, 0},
    {0x32, 0},   {0x57, 0},   {0x33, 0},   {0x45, 0},   {0x34, 0},   {0x52, 0},
    {0x54, 0},   {0x36, 0},   {0x59, 0},   {0x37, 0},   {0x55, 0},   {0x49, 0},
    {0x39, 0},   {0x4F, 0},   {0x30, 0},   {0x50, 0},   {0xBD, '-'}, {0xC0, '@'},
}};

int FindKeyByVirtualKey(int virtualKey) {
  for (int key = 0; key < kKeyCount; ++key) {
    if (KeyMap[key].virtualKey == virtualKey) return key;
  }
  return -1;
}

std::string KeyLabel(int key) {
  if (key < 0 || key >= kKeyCount) return {};
  const KeyMapEntry& entry = KeyMap[key];
  const std::int32_t code = entry.label != 0 ? entry.label : entry.virtualKey;
  return std::string(1, static_cast<char>(code));
}

}  // namespace tonefield

#include "platform/qt/KeyboardLayout.h"

#include <gtest/gtest.h>

namespace tonefield {
namespace {

TEST(KeyboardLayoutLabels, KeysymsBecomeOneUpperCaseCharacterOrNothing) {
  struct Case {
    std::uint32_t keysym;
    const char* label;
  };
  const Case cases[] = {
      {0x007a, "Z"},   // z
      {0x002c, ","},   // comma
      {0x0040, "@"},   // at
      {0x00e9, "É"},   // eacute (French 2 key)
      {0x00fc, "Ü"},   // udiaeresis (German)
      {0x00df, "ß"},   // ssharp: no single upper-case letter, stays
      {0x06cb, "К"},   // Cyrillic_ka (the Russian layout's R key)
      {0xfe52, "^"},   // dead_circumflex (French key right of P)
      {0xfe51, "´"},   // dead_acute
      {0x0020, ""},    // space shows nothing
      {0xff08, ""},    // BackSpace
      {0xffe1, ""},    // Shift_L
      {0x0000, ""},    // NoSymbol
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyboardLayout::LabelOfKeysym(c.keysym), QString::fromUtf8(c.label)) << std::hex << c.keysym;
  }
}

TEST(KeyboardLayoutLabels, WithoutAKnownLayoutEveryKeyKeepsItsOwnLabel) {
  KeyboardLayout layout;  // offscreen: no keymap to read
  layout.Refresh();
  for (int scan = -1; scan <= KeyboardLayout::kScanCodes; ++scan) EXPECT_TRUE(layout.LabelOf(scan).isEmpty()) << scan;
}

}  // namespace
}  // namespace tonefield

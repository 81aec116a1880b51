#include "keyboard/KeyGeometry.h"

#include "keyboard/BlackKeyPattern.h"
#include "keyboard/KeyMap.h"

namespace tonefield {

std::array<KeyPlacement, kKeyCount> LayOutKeys(int panelHeight) {
  std::array<KeyPlacement, kKeyCount> keys{};
  int x = 0;
  for (int k = 0; k < kKeyCount; ++k) {
    KeyPlacement& p = keys[k];
    p.key = k;
    p.top = panelHeight;
    p.caption = KeyLabel(k);
    p.black = IsBlackKey(k);
    if (p.black) {
      p.colour = kKeyColourBlack;
      p.fontColour = kKeyColourWhite;
      p.height = kBlackKeyHeight;
      p.width = kBlackKeyWidth;
      p.left = x + kBlackKeyInset;
    } else {
      p.colour = kKeyColourWhite;
      p.fontColour = kKeyColourBlack;
      p.height = kWhiteKeyHeight;
      p.width = kWhiteKeyWidth;
      p.left = x;
    }
    const int semitone = k % 12;
    x += (semitone == 4 || semitone == 11) ? 30 : 15;
  }
  return keys;
}

int KeyboardWidth(const std::array<KeyPlacement, kKeyCount>& keys) {
  return keys[kKeyCount - 1].left + kWhiteKeyWidth;
}

}  // namespace tonefield

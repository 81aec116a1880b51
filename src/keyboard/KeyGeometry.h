// Where the 36 key buttons sit: white keys 30x150, black keys 26x85 two
// pixels right of the running x, all with their top on the panel's bottom
// edge; x moves 30 after E and B and 15 after every other key.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/Constants.h"

namespace tonefield {

inline constexpr int kWhiteKeyWidth = 30;
inline constexpr int kWhiteKeyHeight = 150;
inline constexpr int kBlackKeyWidth = 26;
inline constexpr int kBlackKeyHeight = 85;
inline constexpr int kBlackKeyInset = 2;

struct KeyPlacement {
  int key = 0;
  int left = 0, top = 0, width = 0, height = 0;
  bool black = false;
  std::uint32_t colour = 0;
  std::uint32_t fontColour = 0;
  std::string caption;
};

std::array<KeyPlacement, kKeyCount> LayOutKeys(int panelHeight);

// Left edge of the last key plus a white key's width: the keyboard's width.
int KeyboardWidth(const std::array<KeyPlacement, kKeyCount>& keys);

}  // namespace tonefield

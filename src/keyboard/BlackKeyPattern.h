// Which semitones are black keys (C#, D#, F#, G#, A#), and the colour a
// key's button rests in. Colours are 0x00BBGGRR values.
#pragma once

#include <array>
#include <cstdint>

namespace tonefield {

inline constexpr std::array<std::int32_t, 12> BlackKeyPattern = {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};

inline constexpr std::uint32_t kKeyColourSounding = 0x0000FF;  // red 255
inline constexpr std::uint32_t kKeyColourBlack = 0x000000;
inline constexpr std::uint32_t kKeyColourWhite = 0xFFFFFF;

inline constexpr bool IsBlackKey(int key) { return key >= 0 && BlackKeyPattern[key % 12] != 0; }

inline constexpr std::uint32_t KeyRestColour(int key) {
  return IsBlackKey(key) ? kKeyColourBlack : kKeyColourWhite;
}

}  // namespace tonefield

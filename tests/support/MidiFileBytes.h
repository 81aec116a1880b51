// Standard MIDI Files written byte by byte for tests: tracks of (delta,
// event bytes) with their end-of-track added, the header, tempo and name
// meta events.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace tonefield::testing {

using MidiBytes = std::vector<std::uint8_t>;

inline void Put32(MidiBytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline void PutVarLen(MidiBytes& out, std::uint32_t v) {
  MidiBytes groups = {static_cast<std::uint8_t>(v & 0x7F)};
  while ((v >>= 7) != 0) groups.insert(groups.begin(), static_cast<std::uint8_t>(0x80 | (v & 0x7F)));
  out.insert(out.end(), groups.begin(), groups.end());
}

// One track chunk: each event is a delta time and its bytes; the
// end-of-track is added endDelta pulses after the last event.
inline MidiBytes Track(std::initializer_list<std::pair<std::uint32_t, MidiBytes>> events, std::uint32_t endDelta = 0) {
  MidiBytes body;
  for (const auto& [delta, bytes] : events) {
    PutVarLen(body, delta);
    body.insert(body.end(), bytes.begin(), bytes.end());
  }
  PutVarLen(body, endDelta);
  body.insert(body.end(), {0xFF, 0x2F, 0x00});
  MidiBytes chunk = {'M', 'T', 'r', 'k'};
  Put32(chunk, static_cast<std::uint32_t>(body.size()));
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

inline MidiBytes MidiFileOf(int format, int division, std::initializer_list<MidiBytes> tracks) {
  MidiBytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<std::uint8_t>(format), 0,
                    static_cast<std::uint8_t>(tracks.size()), static_cast<std::uint8_t>(division >> 8),
                    static_cast<std::uint8_t>(division & 0xFF)};
  for (const MidiBytes& t : tracks) file.insert(file.end(), t.begin(), t.end());
  return file;
}

inline MidiBytes Tempo(std::uint32_t microseconds) {
  return {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(microseconds >> 16), static_cast<std::uint8_t>(microseconds >> 8),
          static_cast<std::uint8_t>(microseconds)};
}

inline MidiBytes Name(const std::string& text) {
  MidiBytes b = {0xFF, 0x03, static_cast<std::uint8_t>(text.size())};
  for (char c : text) b.push_back(static_cast<std::uint8_t>(c));
  return b;
}

}  // namespace tonefield::testing

#include "score/ScoreParser.h"

#include <cstddef>

namespace tonefield {

namespace {

constexpr char16_t kFieldSeparator = u'$';
constexpr int kMiddleOctave = 12;
constexpr int kHighOctave = 24;
constexpr int kLowOctave = 0;
constexpr std::int32_t kFullTrackLength = kMaxTextEvents + 1;  // opening rest + text events

// Semitone of a note character, or -1 when c is not a note.
int NoteSemitone(char16_t c) {
  switch (c) {
    case u'ド': return 0;
    case u'レ': return 2;
    case u'ミ': return 4;
    case u'フ': return 5;
    case u'ソ': return 7;
    case u'ラ': return 9;
    case u'シ': return 11;
    default: return -1;
  }
}

std::size_t FindSeparator(std::u16string_view text, std::size_t from) {
  const std::size_t pos = from <= text.size() ? text.find(kFieldSeparator, from) : text.npos;
  return pos == text.npos ? text.size() : pos;
}

std::int32_t ParseTempo(std::u16string_view field) {
  if (field.empty() || field.size() > 3) return kDefaultTempo;
  std::int32_t value = 0;
  for (char16_t c : field) {
    if (c < u'0' || c > u'9') return kDefaultTempo;
    value = value * 10 + (c - u'0');
  }
  return value >= kMinTempo && value <= kMaxTempo ? value : kDefaultTempo;
}

void Append(ScoreTrack& track, std::int32_t note) {
  track.events[static_cast<std::size_t>(track.length)] = ScoreEvent{note, 1};
  ++track.length;
}

}  // namespace

void ParseScore(std::u16string_view text, Score& score) {
  // Positions of the first three separators; a missing one is the end.
  const std::size_t p1 = FindSeparator(text, 0);
  const std::size_t p2 = FindSeparator(text, p1 + 1);
  const std::size_t p3 = FindSeparator(text, p2 + 1);
  const std::size_t tempoStart = p2 < text.size() ? p2 + 1 : text.size();
  score.tempo = ParseTempo(text.substr(tempoStart, p3 - tempoStart));

  for (ScoreTrack& track : score.tracks) {
    track.events[0] = ScoreEvent{-1, 1};
    track.length = 1;
  }

  std::size_t t = 0;
  int octave = kMiddleOctave;
  int sharp = 0;
  int flat = 0;
  const std::size_t bodyStart = p3 < text.size() ? p3 + 1 : text.size();
  for (std::size_t i = bodyStart; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == kFieldSeparator) {
      if (++t == score.tracks.size()) break;
      octave = kMiddleOctave;
      sharp = 0;
      flat = 0;
      continue;
    }
    ScoreTrack& track = score.tracks[t];
    if (track.length >= kFullTrackLength) continue;

    const int semitone = NoteSemitone(c);
    if (semitone >= 0) {
      int key = semitone + octave + sharp - flat;
      if (key < 0 || key >= kKeyCount) key = -1;
      Append(track, key);
      sharp = 0;
      flat = 0;
      continue;
    }
    switch (c) {
      case u'。':
        Append(track, -1);
        sharp = 0;
        flat = 0;
        break;
      case u'・':
        ++track.events[static_cast<std::size_t>(track.length - 1)].duration;
        sharp = 0;
        flat = 0;
        break;
      case u'↑': octave = kHighOctave; break;
      case u'→': octave = kMiddleOctave; break;
      case u'↓': octave = kLowOctave; break;
      case u'＃': sharp = 1; break;
      case u'ｂ': flat = 1; break;
      default: break;
    }
  }

  for (ScoreTrack& track : score.tracks) Append(track, -1);
}

}  // namespace tonefield

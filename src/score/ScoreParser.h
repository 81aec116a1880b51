// Turns a decoded score text into a Score. The text is "$"-separated:
// magic, title, tempo (1..3 ASCII digits, 60..600, else 120), then up to
// eight track fields of katakana solfège. Never fails: characters outside
// the notation are skipped, off-keyboard notes become rests, a ninth track
// field and events beyond 1000 per track are dropped. Every track comes out
// framed by an opening and a closing rest. Single pass, linear.
#pragma once

#include <string_view>

#include "score/Score.h"

namespace tonefield {

// Sets score.tempo and all 8 tracks (events and length) anew; the sequencer
// fields (cursor, ticksInEvent) are left as they are.
void ParseScore(std::u16string_view text, Score& score);

}  // namespace tonefield

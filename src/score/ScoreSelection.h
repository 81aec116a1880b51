// What the play button plays, chosen by the song list's index: index i >= 1
// is built-in song i - 1; index 0 is the user's score file, parsed once and
// then restored from the cache until another file is accepted.
#pragma once

#include <string>

#include "score/Score.h"
#include "score/UserScoreCache.h"

namespace tonefield {

// Fills score's tempo, events and lengths. Returns false, leaving score and
// cache untouched, when there is nothing to play: index 0 with an empty user
// score, or an index outside the list.
bool LoadSelectedScore(int listIndex, const std::string& userScore, UserScoreCache& cache,
                       Score& score);

}  // namespace tonefield

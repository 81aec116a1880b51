#include "score/UserScoreCache.h"

#include <cstddef>

namespace tonefield {

void UserScoreCache::Store(const Score& score) {
  for (std::size_t t = 0; t < score.tracks.size(); ++t) {
    events_[t] = score.tracks[t].events;
    lengths_[t] = score.tracks[t].length;
  }
  tempo_ = score.tempo;
  valid_ = true;
}

bool UserScoreCache::Restore(Score& score) const {
  if (!valid_) return false;
  for (std::size_t t = 0; t < score.tracks.size(); ++t) {
    score.tracks[t].events = events_[t];
    score.tracks[t].length = lengths_[t];
  }
  score.tempo = tempo_;
  return true;
}

}  // namespace tonefield

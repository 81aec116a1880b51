#include "score/ScoreSelection.h"

#include "common/TextCodec.h"
#include "score/ScoreFile.h"
#include "score/ScoreParser.h"
#include "score/SongTable.h"

namespace tonefield {

bool LoadSelectedScore(int listIndex, const std::string& userScore, UserScoreCache& cache,
                       Score& score) {
  if (listIndex >= 1) {
    if (listIndex > kBuiltInSongCount) return false;
    ParseScore(Utf8ToUtf16(SongText(listIndex - 1)), score);
    return true;
  }
  if (listIndex < 0 || userScore.empty()) return false;
  if (cache.Restore(score)) return true;
  ParseScore(DecodeScoreBytes(userScore), score);
  cache.Store(score);
  return true;
}

}  // namespace tonefield

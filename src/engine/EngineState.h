// The engine's state codes. Who moves between them: start-up and close,
// the play button, the sample loader and recorder, and the timer, which
// carries out the steps that wait for the output ring to drain.
#pragma once

namespace tonefield {

enum EngineStateCode : int {
  kStateStarting = 0,
  kStateClosing = 1,
  kStateReady = 2,
  kStatePlayingScore = 3,
  kStateNewSample = 4,
  kStateRecordRequested = 5,
  kStateRecordingSample = 6,
};

}  // namespace tonefield

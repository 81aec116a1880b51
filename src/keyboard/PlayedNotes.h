// What note input needs of the voices: start and stop notes, and which key
// each of the 8 slots holds (-1 = free).
#pragma once

#include "score/NoteSink.h"

namespace tonefield {

class PlayedNotes : public NoteSink {
 public:
  virtual int KeyInSlot(int slot) const = 0;
  // Whether any slot, of any owner, holds the key (sounding or finished).
  virtual bool HoldsKey(int key) const = 0;

 protected:
  ~PlayedNotes() = default;
};

}  // namespace tonefield

// Where the sequencer starts and ends notes: the voice table in the engine,
// a recording fake in tests. owner is the track index 0..7, key 0..35.
#pragma once

namespace tonefield {

class NoteSink {
 public:
  virtual void NoteOn(int owner, int key) = 0;
  virtual void NoteOff(int owner, int key) = 0;

 protected:
  ~NoteSink() = default;
};

}  // namespace tonefield

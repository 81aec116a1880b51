// Runs independent parts of a computation on the machine's cores and waits
// for all of them. The parts must touch disjoint outputs.
#pragma once

#include <cstddef>
#include <functional>

namespace tonefield {

// How many parts are worth running side by side here (1 .. 4).
std::size_t ParallelWidth();

// Calls work(part) once for every part index below parts and returns when
// all are done. The calling thread does the first part and helps with the rest;
// a small pool of worker threads, started on first use and kept, takes the
// others, so a run costs a wake-up rather than a thread start. A run made
// while another is in progress (from a second thread, or from inside a
// part) runs all its parts on its own thread, as does every run when no
// worker could be started.
void ParallelRun(std::size_t parts, const std::function<void(std::size_t part)>& work);

// For helper threads, called first thing in them: holds back the signals a
// process receives from outside (interrupt, termination, hang-up, alarms
// ...) in the calling thread, so they reach the program's own threads, where
// a handler can rely on what those threads hold back around their critical
// steps. Faults (SIGSEGV and the like) still reach the thread that causes
// them. The pool's workers do this themselves. Does nothing where there are
// no POSIX signals.
void HoldBackSignalsInThisThread();

}  // namespace tonefield

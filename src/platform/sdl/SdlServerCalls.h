// SDL calls that may wait on the sound server (bringing the audio subsystem
// up, opening and closing a device) run on one helper thread, in order, and
// the caller waits for each at most a limit. A server that is stopped or
// gone can block such a call for ever (closing waits for SDL's device
// thread, which waits for the server); the window must not block with it.
// A call that overruns is left to finish on the helper; its `late` part then
// runs there (for an open: close what it opened). While one is overdue, new
// calls that must answer (opens) fail at once instead of queueing behind
// it, and calls that need no answer (closes) queue without waiting.
#pragma once

#include <chrono>
#include <functional>

namespace tonefield {

enum class ServerCall : unsigned char {
  Done,     // finished within the limit
  Overdue,  // still running (or queued) after the limit; `late` runs when it ends
  Stuck,    // an earlier call is overdue: this one was not started
};

// Runs work on the helper thread and waits up to limit. late (may be empty)
// runs on the helper after work when the caller stopped waiting.
ServerCall RunServerCall(std::function<void()> work, std::function<void()> late, std::chrono::milliseconds limit);

// Queues work on the helper without waiting for it (it runs even behind an
// overdue call, once that ends).
void QueueServerCall(std::function<void()> work);

// True while a call that overran its limit has not finished.
bool ServerCallsStuck();

// How long opens and closes may keep the caller waiting.
inline constexpr std::chrono::milliseconds kServerOpenLimit{1500};
// An open right after a stream stalled (a frozen server) gets only this
// long, so the reopen tries on the window's timer never hold it for long.
inline constexpr std::chrono::milliseconds kSuspectOpenLimit{250};
inline constexpr std::chrono::milliseconds kServerCloseLimit{1000};
inline constexpr std::chrono::milliseconds kServerListLimit{5000};

}  // namespace tonefield

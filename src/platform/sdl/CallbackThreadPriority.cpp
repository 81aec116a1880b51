#include "platform/sdl/CallbackThreadPriority.h"

#include <sched.h>

#include <algorithm>
#include <cstring>

namespace tonefield {

CallbackThreadPriority::Outcome CallbackThreadPriority::Raise() {
  if (done_ || !known_.load(std::memory_order_acquire)) return Outcome::NotYet;
  done_ = true;
  int policy = 0;
  sched_param param{};
  if (const int error = pthread_getschedparam(thread_, &policy, &param); error != 0) {
    why_ = std::strerror(error);
    return Outcome::Refused;
  }
  policy &= ~SCHED_RESET_ON_FORK;
  if (policy == SCHED_FIFO || policy == SCHED_RR) return Outcome::AlreadyRealTime;
  param.sched_priority = std::clamp(kPriority, sched_get_priority_min(SCHED_RR), sched_get_priority_max(SCHED_RR));
  // Not handed on to a child the callback's thread could start.
  if (const int error = pthread_setschedparam(thread_, SCHED_RR | SCHED_RESET_ON_FORK, &param); error != 0) {
    why_ = std::strerror(error);
    return Outcome::Refused;
  }
  return Outcome::Raised;
}

}  // namespace tonefield

#include "platform/qt/GuiWake.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace tonefield {

GuiWake::GuiWake(std::function<void()> onWake, std::function<bool()> audioRunning, QObject* parent)
    : QObject(parent), onWake_(std::move(onWake)), audioRunning_(std::move(audioRunning)) {
  postedPoll_.setTimerType(Qt::PreciseTimer);
  postedPoll_.setInterval(audioRunning_ ? kIdlePollMilliseconds : kAudioPollMilliseconds);
  connect(&postedPoll_, &QTimer::timeout, this, [this] { PollPosted(); });
  postedPoll_.start();
  poll_.setSingleShot(true);
  poll_.setInterval(GuiNewsLatch::kPollMilliseconds);
  poll_.setTimerType(Qt::PreciseTimer);
  connect(&poll_, &QTimer::timeout, this, [this] { Drain(); });
  if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) {
    fds_[0] = fds_[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
}

GuiWake::~GuiWake() {
  delete notifier_;
  if (fds_[0] >= 0) ::close(fds_[0]);
  if (fds_[1] >= 0) ::close(fds_[1]);
}

void GuiWake::Wake() {
  wakeCalls_.fetch_add(1, std::memory_order_relaxed);
  if (fds_[1] < 0 || !latch_.Raise()) return;
  pipeWrites_.fetch_add(1, std::memory_order_relaxed);
  const char byte = 1;
  // A full pipe already holds a pending wake-up, so a failed write loses nothing.
  [[maybe_unused]] const ssize_t written = ::write(fds_[1], &byte, 1);
}

void GuiWake::Post() noexcept {
  wakeCalls_.fetch_add(1, std::memory_order_relaxed);
  posts_.fetch_add(1, std::memory_order_relaxed);
  // Whether it found the latch clear or not, the GUI's own poll finds it.
  (void)latch_.Raise();
}

void GuiWake::PollPosted() {
  const int interval = !audioRunning_ || audioRunning_() ? kAudioPollMilliseconds : kIdlePollMilliseconds;
  if (postedPoll_.interval() != interval) postedPoll_.setInterval(interval);
  // A raised latch with the busy poll running is that poll's to drain.
  if (latch_.raised() && !poll_.isActive()) Drain();
}

void GuiWake::Drain() {
  if (fds_[0] >= 0) {
    char bytes[64];
    while (::read(fds_[0], bytes, sizeof bytes) > 0) {
    }
  }
  const bool busy = latch_.BeginDrain() == GuiNewsLatch::Poll::Busy;
  if (onWake_) onWake_();
  if (busy) {
    if (!poll_.isActive()) poll_.start();
  } else {
    poll_.stop();
  }
}

}  // namespace tonefield

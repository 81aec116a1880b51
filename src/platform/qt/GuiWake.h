// Wakes the GUI thread from any thread without allocating or blocking: a
// byte written to a pipe that a socket notifier watches. On the GUI thread
// the registered function runs once per wake-up (several wakes may fold
// into one run).
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace tonefield {

class GuiWake : public QObject {
 public:
  explicit GuiWake(std::function<void()> onWake, QObject* parent = nullptr);
  ~GuiWake() override;
  GuiWake(const GuiWake&) = delete;
  GuiWake& operator=(const GuiWake&) = delete;

  // Any thread, async-signal-safe.
  void Wake();
  // A callable for the devices' constructors.
  std::function<void()> Waker() {
    return [this] { Wake(); };
  }
  bool ok() const { return fds_[0] >= 0; }

 private:
  void Drain();

  std::function<void()> onWake_;
  int fds_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tonefield

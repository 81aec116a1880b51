// For tests of code that must never wait on a named pipe: while alive, keeps
// opening the pipe for writing and closing it again. A reader stuck in open()
// is thereby released and reads an empty file, so such a fault shows as a
// failed expectation instead of a hung test.
// POSIX only: a named pipe cannot be given a name in a folder on Windows.
#pragma once

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tonefield::testing {

class PipeUnblocker {
 public:
  explicit PipeUnblocker(std::string path)
      : path_(std::move(path)), thread_([this] {
          while (!done_.load()) {
            // Fails at once while no reader has the pipe open.
            const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~PipeUnblocker() {
    done_.store(true);
    thread_.join();
  }
  PipeUnblocker(const PipeUnblocker&) = delete;
  PipeUnblocker& operator=(const PipeUnblocker&) = delete;

 private:
  std::string path_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace tonefield::testing
#endif

// Helpers for running the SDL devices on the disk driver in tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

namespace tonefield::testing {

// Counts wake calls from any thread; the test thread waits on it.
class Waker {
 public:
  std::function<void()> Function() {
    return [this] {
      std::lock_guard lock(mutex_);
      ++wakes_;
      cv_.notify_all();
    };
  }
  // Runs deliver after every wake until done() or the timeout; returns done().
  bool PumpUntil(const std::function<void()>& deliver, const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (true) {
      deliver();
      if (done()) return true;
      std::unique_lock lock(mutex_);
      if (!cv_.wait_until(lock, until, [&] { return wakes_ > seen_; })) return done();
      seen_ = wakes_;
    }
  }
  int wakes() {
    std::lock_guard lock(mutex_);
    return wakes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int wakes_ = 0;
  int seen_ = 0;
};

// A file name in the temp folder, removed with the object.
class TempPath {
 public:
  explicit TempPath(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {}
  ~TempPath() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  std::string str() const { return path_.string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

inline std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) {
      ::setenv(name_, old_.c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace tonefield::testing

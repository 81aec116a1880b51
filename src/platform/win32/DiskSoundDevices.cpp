#include "platform/win32/DiskSoundDevices.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "platform/win32/WideText.h"

namespace tonefield {

namespace {

// Windows 10 1803 and later; older mingw headers do not name it.
constexpr DWORD kHighResolutionTimer = 0x00000002;

std::string Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  return length > 0 && length < 1024 ? Utf8(std::wstring_view(value, length)) : std::string();
}

std::FILE* OpenFile(const std::string& name, const wchar_t* mode) { return _wfopen(Wide(name).c_str(), mode); }

// The time one block takes: its duration, or SDL_DISKAUDIODELAY ms when set.
std::chrono::microseconds BlockTime(std::uint32_t frames, std::uint32_t rate) {
  const std::string delay = Environment(L"SDL_DISKAUDIODELAY");
  if (!delay.empty()) return std::chrono::milliseconds(std::max(0, std::atoi(delay.c_str())));
  return std::chrono::microseconds(1'000'000LL * frames / std::max<std::uint32_t>(rate, 1));
}

// Waits until a deadline on a high-resolution waitable timer where the
// system has one (Sleep's ~15.6 ms steps on Windows would drift the pace).
class PaceTimer {
 public:
  PaceTimer() {
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    if (timer_ == nullptr) timer_ = CreateWaitableTimerW(nullptr, TRUE, nullptr);
  }
  ~PaceTimer() {
    if (timer_ != nullptr) CloseHandle(timer_);
  }
  PaceTimer(const PaceTimer&) = delete;
  PaceTimer& operator=(const PaceTimer&) = delete;
  void WaitUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(left.count()) * 10;  // relative, in 100 ns
    if (timer_ != nullptr && SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
      WaitForSingleObject(timer_, INFINITE);
    } else {
      Sleep(static_cast<DWORD>(left.count() / 1000));
    }
  }

 private:
  HANDLE timer_ = nullptr;
};

}  // namespace

bool DiskAudioRequested() {
  return Environment(L"TONEFIELD_AUDIO_DRIVER") == "disk" || Environment(L"SDL_AUDIODRIVER") == "disk";
}

// ---- Output ----

DiskWaveOut::~DiskWaveOut() {
  if (file_ != nullptr) Close();
}

MmResult DiskWaveOut::Query(const WaveFormat& format) {
  return IsDevicePlayableFormat(format) ? kMmSuccess : errors_.Fail(kWaveBadFormat);
}

MmResult DiskWaveOut::Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) {
  if (file_ != nullptr) return errors_.FailWith(kMmError, "The sound device is already open.");
  if (!IsDevicePlayableFormat(format)) return errors_.Fail(kWaveBadFormat);
  std::string name = Environment(L"SDL_DISKAUDIOFILE");
  if (name.empty()) name = "sdlaudio.raw";
  file_ = OpenFile(name, L"wb");
  if (file_ == nullptr) return errors_.FailWith(kMmBadDeviceId, "The sound file " + name + " cannot be created.");
  rate_ = format.samplesPerSec;
  blockFrames_ = bufferSamples != 0 ? bufferSamples : DefaultBufferSamples(rate_);
  block_.assign(blockFrames_, 0);
  source_ = &source;
  return kMmSuccess;
}

MmResult DiskWaveOut::Start() {
  if (file_ == nullptr) return errors_.Fail(kMmInvalidHandle);
  if (thread_.joinable()) return kMmSuccess;
  quit_ = false;
  thread_ = std::thread([this] { Run(); });
  return kMmSuccess;
}

MmResult DiskWaveOut::Stop() {
  if (file_ == nullptr) return errors_.Fail(kMmInvalidHandle);
  if (thread_.joinable()) {
    quit_ = true;
    thread_.join();
  }
  return kMmSuccess;
}

MmResult DiskWaveOut::Close() {
  if (file_ == nullptr) return errors_.Fail(kMmInvalidHandle);
  Stop();
  std::fclose(file_);
  file_ = nullptr;
  source_ = nullptr;
  blockFrames_ = 0;
  return kMmSuccess;
}

void DiskWaveOut::Run() {
  PaceTimer pace;
  const auto step = BlockTime(blockFrames_, rate_);
  auto deadline = std::chrono::steady_clock::now();
  while (!quit_) {
    source_->Render({block_.data(), block_.size()});
    std::fwrite(block_.data(), sizeof(std::int16_t), block_.size(), file_);
    std::fflush(file_);
    deadline += step;
    pace.WaitUntil(deadline);
  }
}

// ---- Input ----

DiskWaveIn::~DiskWaveIn() {
  if (open_) Close();
}

MmResult DiskWaveIn::Open(const WaveFormat& format, WaveInListener& listener) {
  if (open_) return errors_.FailWith(kMmError, "The capture device is already open.");
  if (!IsDevicePlayableFormat(format)) return errors_.Fail(kWaveBadFormat);
  std::string name = Environment(L"SDL_DISKAUDIOFILEIN");
  if (name.empty()) name = "sdlaudio-in.raw";
  file_ = OpenFile(name, L"rb");  // a missing file records silence
  rate_ = format.samplesPerSec;
  listener_ = &listener;
  slot_.Clear();
  open_ = true;
  return kMmSuccess;
}

MmResult DiskWaveIn::Prepare(WaveHeader& header) {
  if (!open_) return errors_.Fail(kMmInvalidHandle);
  return slot_.Prepare(header, errors_);
}

MmResult DiskWaveIn::AddBuffer(WaveHeader& header) {
  if (!open_) return errors_.Fail(kMmInvalidHandle);
  return slot_.Add(header, errors_);
}

MmResult DiskWaveIn::Start() {
  if (!open_) return errors_.Fail(kMmInvalidHandle);
  if (!thread_.joinable()) {
    quit_ = false;
    thread_ = std::thread([this] { Run(); });
  }
  return kMmSuccess;
}

MmResult DiskWaveIn::Unprepare(WaveHeader& header) {
  if (!open_) return errors_.Fail(kMmInvalidHandle);
  return slot_.Unprepare(header, errors_);
}

MmResult DiskWaveIn::Close() {
  if (!open_) return errors_.Fail(kMmInvalidHandle);
  if (thread_.joinable()) {
    quit_ = true;
    thread_.join();
  }
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  slot_.GiveBackUnfinished();
  open_ = false;
  return kMmSuccess;
}

void DiskWaveIn::DeliverFull() {
  if (open_) slot_.DeliverFull(listener_);
}

void DiskWaveIn::Run() {
  PaceTimer pace;
  const std::uint32_t blockFrames = DefaultBufferSamples(rate_);
  const auto step = BlockTime(blockFrames, rate_);
  std::vector<std::uint8_t> block(blockFrames * 2);
  auto deadline = std::chrono::steady_clock::now();
  while (!quit_) {
    std::size_t got = file_ != nullptr ? std::fread(block.data(), 1, block.size(), file_) : 0;
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(got), block.end(), std::uint8_t{0});
    if (slot_.Fill(block.data(), static_cast<std::uint32_t>(block.size())) && wakeGui_) wakeGui_();
    deadline += step;
    pace.WaitUntil(deadline);
  }
}

}  // namespace tonefield

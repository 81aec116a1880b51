// A sound server that stops answering: SDL's disk driver writes to (or
// reads from) a FIFO the test stops serving, so SDL's device thread blocks
// in the "server" outside its device lock, as it does on a stopped
// PulseAudio or PipeWire. The device counts as lost, and neither closing it
// nor opening another keeps the caller waiting for the server.
#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Constants.h"
#include "platform/sdl/SdlServerCalls.h"
#include "platform/sdl/SdlWaveIn.h"
#include "platform/sdl/SdlWaveOut.h"
#include "platform/sdl/SdlTestSupport.h"

namespace tonefield {
namespace {

using Clock = std::chrono::steady_clock;
using testing::ScopedEnv;
using testing::TempPath;

class Silence : public AudioSource {
 public:
  void Render(std::span<std::int16_t> buffer) noexcept override {
    for (std::int16_t& s : buffer) s = 0;
  }
};

class NullListener : public WaveInListener {
 public:
  void OnWaveInData(WaveHeader*) override {}
};

// A FIFO standing in for the server's socket; both ends are opened here
// without blocking, and its buffer is one page so a stop is felt at once.
class FakeServer {
 public:
  FakeServer() {
    std::signal(SIGPIPE, SIG_IGN);
    EXPECT_EQ(::mkfifo(path_.str().c_str(), 0600), 0);
    read_ = ::open(path_.str().c_str(), O_RDONLY | O_NONBLOCK);
    write_ = ::open(path_.str().c_str(), O_WRONLY | O_NONBLOCK);
    ::fcntl(read_, F_SETPIPE_SZ, 4096);
  }
  ~FakeServer() {
    ::close(read_);
    ::close(write_);
  }
  std::string path() const { return path_.str(); }
  // Takes what the device wrote, for a while.
  void Serve(std::chrono::milliseconds time) {
    std::vector<char> bytes(65536);
    const auto until = Clock::now() + time;
    while (Clock::now() < until) {
      while (::read(read_, bytes.data(), bytes.size()) > 0) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  // Gives the reader what fits.
  void Feed(std::size_t bytes) {
    std::vector<char> zeros(bytes);
    [[maybe_unused]] const ssize_t written = ::write(write_, zeros.data(), zeros.size());
  }

 private:
  TempPath path_{"tonefield-server"};
  int read_ = -1;
  int write_ = -1;
};

bool LostWithin(const std::function<bool()>& lost, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (Clock::now() < until) {
    if (lost()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

bool UnstuckWithin(FakeServer& server, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (Clock::now() < until && ServerCallsStuck()) server.Serve(std::chrono::milliseconds(20));
  return !ServerCallsStuck();
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

TEST(SdlStuckServer, AnOutputThatStopsCallingBackIsLostAndItsCloseDoesNotWaitForTheServer) {
  FakeServer server;
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv file("SDL_DISKAUDIOFILE", server.path());
  ScopedEnv delay("SDL_DISKAUDIODELAY", "1");
  Silence source;
  SdlWaveOut out;
  const WaveFormat format{kWaveFormatPcm, 1, 11025, 22050, 2, 16};
  ASSERT_EQ(out.Open(format, 64, source), kMmSuccess) << out.ErrorText(kMmBadDeviceId);
  ASSERT_EQ(out.Start(), kMmSuccess);
  for (int i = 0; i < 8; ++i) {
    server.Serve(std::chrono::milliseconds(100));
    EXPECT_FALSE(out.Lost()) << "a served device plays on";
  }
  // The server stops taking data: SDL's thread blocks in its write.
  EXPECT_TRUE(LostWithin([&] { return out.Lost(); }, std::chrono::milliseconds(3000)));

  const auto closing = Clock::now();
  EXPECT_EQ(out.Close(), kMmSuccess);
  EXPECT_LT(Seconds(Clock::now() - closing), 2.5) << "the close waited for the server";
  EXPECT_TRUE(ServerCallsStuck());

  // Another open meanwhile fails at once with a clear text.
  SdlWaveOut other;
  const auto opening = Clock::now();
  const MmResult refused = other.Open(format, 64, source);
  EXPECT_NE(refused, kMmSuccess);
  EXPECT_EQ(other.ErrorText(refused), kServerSilentText);
  EXPECT_LT(Seconds(Clock::now() - opening), 0.5);

  // The server comes back: the close finishes on its own, and devices open again.
  ASSERT_TRUE(UnstuckWithin(server, std::chrono::milliseconds(10000)));
  ASSERT_EQ(other.Open(format, 64, source), kMmSuccess) << other.ErrorText(kMmBadDeviceId);
  ASSERT_EQ(other.Start(), kMmSuccess);
  server.Serve(std::chrono::milliseconds(300));
  EXPECT_FALSE(other.Lost());
  EXPECT_EQ(other.Close(), kMmSuccess);
}

TEST(SdlStuckServer, ACaptureThatGetsNoDataIsLostAndClosesWithoutWaiting) {
  FakeServer server;
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv file("SDL_DISKAUDIOFILEIN", server.path());
  ScopedEnv delay("SDL_DISKAUDIODELAY", "1");
  NullListener listener;
  SdlWaveIn in({});
  const WaveFormat format{kWaveFormatPcm, 1, kCaptureRate, kCaptureRate * 2, 2, 16};
  ASSERT_EQ(in.Open(format, listener), kMmSuccess) << in.ErrorText(kMmBadDeviceId);
  std::vector<std::uint8_t> data(kCaptureRate * 2 * 3);
  WaveHeader header{};
  header.data = data.data();
  header.bufferLength = static_cast<std::uint32_t>(data.size());
  ASSERT_EQ(in.Prepare(header), kMmSuccess);
  ASSERT_EQ(in.AddBuffer(header), kMmSuccess);
  ASSERT_EQ(in.Start(), kMmSuccess);
  // Data for a while, then none: SDL's thread blocks in its read.
  for (int i = 0; i < 40; ++i) {
    server.Feed(4096);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (i % 5 == 0) {
      EXPECT_FALSE(in.Lost()) << "a capture that gets data goes on";
    }
  }
  EXPECT_TRUE(LostWithin([&] { return in.Lost(); }, std::chrono::milliseconds(3000)));
  const auto closing = Clock::now();
  EXPECT_EQ(in.Close(), kMmSuccess);
  EXPECT_LT(Seconds(Clock::now() - closing), 2.5);
  EXPECT_EQ(header.flags & kWaveHeaderInQueue, 0u) << "the buffer came back";
  // Data at last: SDL's thread wakes, and the close finishes on its own.
  const auto until = Clock::now() + std::chrono::seconds(10);
  while (ServerCallsStuck() && Clock::now() < until) {
    server.Feed(4096);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_FALSE(ServerCallsStuck());
}

}  // namespace
}  // namespace tonefield

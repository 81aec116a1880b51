// The audio thread's path allocates, frees and locks nothing: replaced
// global operators new and delete and the pthread lock calls count what the
// device thread does while it is inside Render, as every kind of command,
// the MIDI input's included, goes through.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <mutex>
#include <thread>

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>

#include "engine/LiveEngine.h"
#include "engine/LiveTestSupport.h"
#include "fakes/ThreadedWaveOut.h"
#include "midi/MidiFilePlayer.h"
#include "midi/MidiInput.h"

// The replacements below pair malloc with free on purpose.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

thread_local bool t_onAudioPath = false;
std::atomic<int> g_audioAllocations{0};
std::atomic<int> g_audioFrees{0};
std::atomic<int> g_audioLocks{0};

void CountFree(void* p) {
  if (p != nullptr && t_onAudioPath) g_audioFrees.fetch_add(1);
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

// Every way to wait on or take a lock that the path could reach: the
// standard library's mutexes and condition variables, and semaphores.
extern "C" {
int pthread_mutex_lock(pthread_mutex_t* m) {
  static auto next = Next<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
  if (t_onAudioPath) g_audioLocks.fetch_add(1);
  return next(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
  static auto next = Next<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock");
  if (t_onAudioPath) g_audioLocks.fetch_add(1);
  return next(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
  static auto next = Next<int (*)(pthread_rwlock_t*)>("pthread_rwlock_rdlock");
  if (t_onAudioPath) g_audioLocks.fetch_add(1);
  return next(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
  static auto next = Next<int (*)(pthread_rwlock_t*)>("pthread_rwlock_wrlock");
  if (t_onAudioPath) g_audioLocks.fetch_add(1);
  return next(l);
}
int pthread_cond_signal(pthread_cond_t* c) {
  static auto next = Next<int (*)(pthread_cond_t*)>("pthread_cond_signal");
  if (t_onAudioPath) g_audioLocks.fetch_add(1);
  return next(c);
}
int pthread_cond_broadcast(pthread_cond_t* c) {
  static auto next = Next<int (*)(pthread_cond_t*)>("pthread_cond_broadcast");
  if (t_onAudioPath) g_audioLocks.fetch_add(1);
  return next(c);
}
int sem_post(sem_t* s) {
  static auto next = Next<int (*)(sem_t*)>("sem_post");
  if (t_onAudioPath) g_audioLocks.fetch_add(1);
  return next(s);
}
int sem_wait(sem_t* s) {
  static auto next = Next<int (*)(sem_t*)>("sem_wait");
  if (t_onAudioPath) g_audioLocks.fetch_add(1);
  return next(s);
}
}

void* operator new(std::size_t size) {
  if (t_onAudioPath) g_audioAllocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (t_onAudioPath) g_audioAllocations.fetch_add(1);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept {
  CountFree(p);
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace tonefield {
namespace {

// Marks the device thread as being on the audio path while it renders.
class MarkedSource : public AudioSource {
 public:
  explicit MarkedSource(AudioSource& inner) : inner_(inner) {}
  void Render(std::span<std::int16_t> buffer) noexcept override {
    t_onAudioPath = true;
    inner_.Render(buffer);
    t_onAudioPath = false;
    renders.fetch_add(1);
  }
  std::atomic<int> renders{0};

 private:
  AudioSource& inner_;
};

TEST(AudioPath, RendersEveryCommandWithoutAllocating) {
  testing::RecordingClient client;
  LiveEngine live(client);
  live.SetOutputRate(testing::kRate);
  KeyWaveBank& bank = live.SpareBank();
  bank = testing::RampBank();
  live.UseBank(bank);
  int wakes = 0;
  live.channels().post = [&wakes] { ++wakes; };
  MidiInput midi(live.channels());
  midi.Configure({.transpose = 0, .velocity = true}, true);
  auto send = [&midi](std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    const std::uint8_t message[] = {status, data1, data2};
    midi.Receive(message, 5000);
  };
  MarkedSource source(live.renderer());
  fakes::ThreadedWaveOut device(std::chrono::microseconds(300));
  ASSERT_EQ(device.Open(WaveFormat{1, 1, testing::kRate, testing::kRate * 2, 2, 16}, 64, source), kMmSuccess);
  live.DeviceStarted();
  ASSERT_EQ(device.Start(), kMmSuccess);

  // A MIDI file's schedule, built off the audio thread: notes on three
  // channels with the pedal, a tempo change, notes off the keyboard.
  MidiFileData file;
  file.pulsesPerQuarter = 24;
  file.tempos = {{0, 100000}, {48, 50000}};
  for (std::int64_t pulse = 0; pulse < 96; pulse += 2) {
    const auto channel = static_cast<std::uint8_t>(pulse % 3);
    const auto note = static_cast<std::uint8_t>(30 + pulse);
    file.messages.push_back({pulse, {static_cast<std::uint8_t>(0x90 | channel), note, 90}});
    file.messages.push_back({pulse + 1, {static_cast<std::uint8_t>(0x80 | channel), note, 0}});
    file.messages.push_back({pulse + 1, {0xB0, 64, static_cast<std::uint8_t>(pulse % 4 == 0 ? 127 : 0)}});
  }
  file.endPulse = 100;
  MidiFilePlayer players[2];
  auto settle = [&] {
    const int target = source.renders.load() + 3;
    while (source.renders.load() < target) std::this_thread::sleep_for(std::chrono::microseconds(200));
    live.Drain();
  };
  for (int round = 0; round < 3; ++round) {
    for (int k = 0; k < 10; ++k) live.NoteOn(0, k * 3, 1000 + k);
    send(0xB0, 64, 127);
    for (std::uint8_t note = 50; note < 60; ++note) send(0x90, note, note);
    send(0x80, 52, 0);
    settle();
    send(0xB0, 64, 0);
    send(0xB0, 123, 0);
    Sequencer& score = live.SpareSequencer();
    testing::FillScore(score, 150);
    live.StartScore(score);
    live.TapOn(static_cast<std::uint64_t>(round + 1));
    settle();
    live.SetSamplesPerTick(90);
    KeyWaveBank& next = live.SpareBank();
    if (next.keys[0].samples.empty()) next = testing::RampBank(round);
    live.UseBank(next);
    settle();
    live.StopFeed();
    live.NoteOff(0, 3);
    settle();
    live.ResumeFeed();
    live.StopScore();
    live.AllNotesOff();
    live.TapOff();
    settle();
    MidiFilePlayer& player = players[round % 2];
    ASSERT_FALSE(live.PlayerLent(player));
    player.Load(ScheduleMidiFile(file, testing::kRate), {.dropOutOfRange = round == 1, .channels = 0x0007});
    player.SetSpeed(MidiFileSpeed(round * 5));
    live.StartPlayer(player);
    settle();
    live.SetPlayerSpeed(MidiFileSpeed(10));
    settle();
    if (round == 2) {
      // Played to its end, then handed back by the renderer itself.
      while (live.PlayerLent(player)) settle();
    } else {
      live.StopScore();
      settle();
    }
    TapChunk chunk;
    while (live.channels().tap.try_dequeue(chunk)) {
    }
  }
  ASSERT_EQ(device.Close(), kMmSuccess);
  live.DeviceStopped();
  EXPECT_GT(source.renders.load(), 30);
  EXPECT_GT(wakes, 0);
  EXPECT_EQ(g_audioAllocations.load(), 0);
  EXPECT_EQ(g_audioFrees.load(), 0);
  EXPECT_EQ(g_audioLocks.load(), 0);
}

TEST(AudioPath, TheCountersSeeAnAllocationAFreeAndALockOnTheMarkedPath) {
  const int allocations = g_audioAllocations.load();
  const int frees = g_audioFrees.load();
  const int locks = g_audioLocks.load();
  std::mutex mutex;
  t_onAudioPath = true;
  void* p = ::operator new(sizeof(int));
  ::operator delete(p);
  mutex.lock();
  mutex.unlock();
  t_onAudioPath = false;
  EXPECT_EQ(g_audioAllocations.load(), allocations + 1);
  EXPECT_EQ(g_audioFrees.load(), frees + 1);
  EXPECT_EQ(g_audioLocks.load(), locks + 1);
  g_audioAllocations = allocations;
  g_audioFrees = frees;
  g_audioLocks = locks;
}

}  // namespace
}  // namespace tonefield

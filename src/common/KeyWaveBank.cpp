#include "common/KeyWaveBank.h"

#include <algorithm>
#include <new>
#include <utility>

namespace tonefield {

namespace {

// Keys start on cache lines, so threads writing neighbouring keys never share one.
constexpr std::size_t kAlignBytes = 64;
constexpr std::size_t kAlignSamples = kAlignBytes / sizeof(std::int16_t);
// Above this share of waste a smaller block replaces the one held.
constexpr std::size_t kMaxOversize = 4;

}  // namespace

KeyWaveSamples::KeyWaveSamples(KeyWaveSamples&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      own_(std::move(other.own_)) {
  other.own_.clear();
}

KeyWaveSamples& KeyWaveSamples::operator=(const KeyWaveSamples& other) {
  if (this != &other) assign(other.begin(), other.end());
  return *this;
}

KeyWaveSamples& KeyWaveSamples::operator=(KeyWaveSamples&& other) noexcept {
  if (this != &other) {
    own_ = std::move(other.own_);
    other.own_.clear();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

KeyWaveSamples& KeyWaveSamples::operator=(std::initializer_list<std::int16_t> values) {
  assign(values.begin(), values.end());
  return *this;
}

void KeyWaveSamples::Place(std::int16_t* data, std::size_t count) noexcept {
  std::vector<std::int16_t>().swap(own_);
  data_ = data;
  size_ = count;
}

void KeyWaveSamples::assign(std::size_t count, std::int16_t value) {
  std::vector<std::int16_t> values(count, value);
  own_.swap(values);
  Adopt();
}

void KeyWaveSamples::resize(std::size_t count) {
  std::vector<std::int16_t> values(count, 0);
  std::copy_n(data_, std::min(count, size_), values.begin());
  own_.swap(values);
  Adopt();
}

void KeyWaveSamples::clear() noexcept {
  std::vector<std::int16_t>().swap(own_);
  data_ = nullptr;
  size_ = 0;
}

bool KeyWaveSamples::Equal(const KeyWaveSamples& a, const std::int16_t* b, std::size_t count) {
  return a.size_ == count && std::equal(a.data_, a.data_ + a.size_, b);
}

std::span<std::byte> KeyWaveBank::PlaceKeys(std::size_t sampleCount, std::size_t workBytes) {
  // Room for every key and the working space, each rounded up to whole cache
  // lines, checked against overflow.
  constexpr std::size_t kLimit = SIZE_MAX / 2;
  if (sampleCount > kLimit / (kKeyCount * sizeof(std::int16_t)) || workBytes > kLimit / 2) {
    throw std::bad_alloc();
  }
  const std::size_t stride = (sampleCount + kAlignSamples - 1) / kAlignSamples * kAlignSamples;
  const std::size_t keyBytes = stride * sizeof(std::int16_t) * kKeyCount;
  const std::size_t work = (workBytes + kAlignBytes - 1) / kAlignBytes * kAlignBytes;
  const std::size_t needed = keyBytes + work;

  for (KeyWave& key : keys) key.samples.clear();
  if (memory_.size() < needed || memory_.size() / kMaxOversize > needed) {
    // The old block goes first, so a rebuild never holds both.
    memory_ = HugePageBuffer();
    memory_ = HugePageBuffer(needed);
  }
  auto* samples = reinterpret_cast<std::int16_t*>(memory_.data());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    keys[k].samples.Place(sampleCount == 0 ? nullptr : samples + k * stride, sampleCount);
  }
  return {memory_.data() == nullptr ? nullptr : memory_.data() + keyBytes, workBytes};
}

void KeyWaveBank::ShowFixedKeys(const std::int16_t* first, std::size_t count, std::size_t stride) noexcept {
  memory_ = HugePageBuffer();
  for (std::size_t k = 0; k < keys.size(); ++k) {
    // Placed keys are writable by type only; these are never written.
    keys[k].samples.Place(const_cast<std::int16_t*>(first + k * stride), count);
  }
}

void KeyWaveBank::ReleaseMemory() noexcept {
  for (KeyWave& key : keys) key.samples.clear();
  memory_ = HugePageBuffer();
}

}  // namespace tonefield

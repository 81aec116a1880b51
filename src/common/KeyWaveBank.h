// The 36 key waves derived from the sample: signed 16-bit mono PCM at the
// sample's rate, index = key number. All keys share one byte length L; a key
// holds L / 2 samples (an odd last byte is never played).
//
// The builder places all keys in one block of memory owned by the bank and
// reuses it when it rebuilds into the same bank, so a new sample costs no
// fresh memory once the bank has held one as long. A bank owns everything
// its keys point to and shares nothing with other banks: banks can be moved
// (the keys stay where they are) and handed between threads. The one
// exception is a bank shown keys fixed in the program (ShowFixedKeys).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <span>
#include <vector>

#include "common/Constants.h"
#include "common/HugePageBuffer.h"

namespace tonefield {

// The samples of one key, read like a std::vector<std::int16_t>. They live
// either in their bank's memory (placed there by the builder) or in memory
// of their own (after assign, resize, an initializer list or a copy; so a
// copy never points into another bank).
class KeyWaveSamples {
 public:
  using value_type = std::int16_t;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using reference = std::int16_t&;
  using const_reference = const std::int16_t&;
  using pointer = std::int16_t*;
  using const_pointer = const std::int16_t*;
  using iterator = std::int16_t*;
  using const_iterator = const std::int16_t*;

  KeyWaveSamples() noexcept = default;
  KeyWaveSamples(std::initializer_list<std::int16_t> values) : own_(values) { Adopt(); }
  KeyWaveSamples(const KeyWaveSamples& other) : own_(other.begin(), other.end()) { Adopt(); }
  // Takes the samples over wherever they live; other is left empty.
  KeyWaveSamples(KeyWaveSamples&& other) noexcept;
  KeyWaveSamples& operator=(const KeyWaveSamples& other);
  KeyWaveSamples& operator=(KeyWaveSamples&& other) noexcept;
  KeyWaveSamples& operator=(std::initializer_list<std::int16_t> values);

  // count samples at data, owned elsewhere (by the bank); not initialised here.
  void Place(std::int16_t* data, std::size_t count) noexcept;

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  std::int16_t* data() noexcept { return data_; }
  const std::int16_t* data() const noexcept { return data_; }
  std::int16_t& operator[](std::size_t i) noexcept { return data_[i]; }
  const std::int16_t& operator[](std::size_t i) const noexcept { return data_[i]; }
  iterator begin() noexcept { return data_; }
  iterator end() noexcept { return data_ + size_; }
  const_iterator begin() const noexcept { return data_; }
  const_iterator end() const noexcept { return data_ + size_; }

  // These move the samples into memory of their own.
  void assign(std::size_t count, std::int16_t value);
  template <std::input_iterator It>
  void assign(It first, It last) {
    std::vector<std::int16_t> values(first, last);
    own_.swap(values);
    Adopt();
  }
  // Keeps the first samples; new ones are 0.
  void resize(std::size_t count);
  void clear() noexcept;

  // A copy of the samples, for code that wants a vector of its own.
  operator std::vector<std::int16_t>() const { return {begin(), end()}; }

  friend bool operator==(const KeyWaveSamples& a, const KeyWaveSamples& b) {
    return Equal(a, b.data_, b.size_);
  }
  friend bool operator==(const KeyWaveSamples& a, const std::vector<std::int16_t>& b) {
    return Equal(a, b.data(), b.size());
  }

 private:
  static bool Equal(const KeyWaveSamples& a, const std::int16_t* b, std::size_t count);
  void Adopt() noexcept {
    data_ = own_.data();
    size_ = own_.size();
  }

  std::int16_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::vector<std::int16_t> own_;  // empty while the samples live in the bank
};

struct KeyWave {
  KeyWaveSamples samples;  // byteLength / 2 samples
  std::uint32_t byteLength = 0;

  std::int32_t SampleCount() const { return static_cast<std::int32_t>(samples.size()); }
};

class KeyWaveBank {
 public:
  std::array<KeyWave, kKeyCount> keys;

  // Lays every key out as sampleCount uninitialised samples in the bank's
  // memory, growing it when needed, and returns workBytes of working space
  // after them (64-byte aligned, contents unspecified). Byte lengths are not
  // touched. Memory is reused while it suffices and is not over four times
  // what is needed. The working space and the samples stay valid until the
  // next PlaceKeys or ReleaseMemory.
  std::span<std::byte> PlaceKeys(std::size_t sampleCount, std::size_t workBytes);
  // Points key k at count samples from first + k * stride, in read-only
  // memory that lives as long as the program (keys built when the program
  // was built), and gives the bank's own memory back. Nothing may write
  // these keys; the next PlaceKeys lays the keys out in the bank again.
  // Byte lengths are not touched.
  void ShowFixedKeys(const std::int16_t* first, std::size_t count, std::size_t stride) noexcept;
  // Empties every key and gives the memory back; byte lengths stay.
  void ReleaseMemory() noexcept;
  // Bytes held for the keys and the working space.
  std::size_t MemoryBytes() const noexcept { return memory_.size(); }

 private:
  HugePageBuffer memory_;
};

}  // namespace tonefield

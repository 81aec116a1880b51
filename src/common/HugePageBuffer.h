// Uninitialised memory for large arrays that are written in full before they
// are read (the key bank and the key wave builder's working space). On Linux
// a large buffer is mapped straight from the kernel, 2 MiB aligned and
// advised for transparent huge pages, so filling ten megabytes costs a
// handful of page faults instead of thousands; small buffers, other
// platforms and sanitizer builds (which must see every byte) use the heap.
// The contents are unspecified until written.
#pragma once

#include <cstddef>

namespace tonefield {

class HugePageBuffer {
 public:
  HugePageBuffer() noexcept = default;
  // At least bytes usable bytes; throws std::bad_alloc as new does.
  explicit HugePageBuffer(std::size_t bytes);
  ~HugePageBuffer();

  HugePageBuffer(HugePageBuffer&& other) noexcept;
  HugePageBuffer& operator=(HugePageBuffer&& other) noexcept;
  HugePageBuffer(const HugePageBuffer&) = delete;
  HugePageBuffer& operator=(const HugePageBuffer&) = delete;

  std::byte* data() const noexcept { return data_; }
  // Usable bytes: what was asked for, rounded up to whole huge pages when mapped.
  std::size_t size() const noexcept { return size_; }

 private:
  void Release() noexcept;

  std::byte* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

}  // namespace tonefield

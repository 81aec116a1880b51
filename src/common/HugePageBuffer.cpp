#include "common/HugePageBuffer.h"

#include <cstdint>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TONEFIELD_HEAP_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define TONEFIELD_HEAP_ONLY 1
#endif
#endif

namespace tonefield {

namespace {

constexpr std::size_t kCacheLine = 64;

#if defined(__linux__) && !defined(TONEFIELD_HEAP_ONLY)
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Below this a buffer is not worth a mapping of its own.
constexpr std::size_t kMapMinBytes = std::size_t{256} << 10;

constexpr std::uintptr_t RoundUp(std::uintptr_t value, std::uintptr_t unit) {
  return (value + unit - 1) / unit * unit;
}

// Maps size bytes (a multiple of kHugePage) at a kHugePage boundary: one
// huge page more is mapped than needed and the unaligned ends are returned.
std::byte* MapAligned(std::size_t size) {
  if (size > SIZE_MAX - kHugePage) throw std::bad_alloc();
  const std::size_t span = size + kHugePage;
  void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = RoundUp(start, kHugePage);
  if (aligned > start) ::munmap(raw, aligned - start);
  const std::uintptr_t end = start + span;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  // Advice only: where huge pages are off or scarce, small pages serve.
  ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<std::byte*>(aligned);
}
#endif

}  // namespace

HugePageBuffer::HugePageBuffer(std::size_t bytes) {
  if (bytes == 0) return;
#if defined(__linux__) && !defined(TONEFIELD_HEAP_ONLY)
  if (bytes >= kMapMinBytes) {
    if (bytes > SIZE_MAX - kHugePage) throw std::bad_alloc();
    size_ = RoundUp(bytes, kHugePage);
    data_ = MapAligned(size_);
    mapped_ = true;
    return;
  }
#endif
  data_ = static_cast<std::byte*>(::operator new(bytes, std::align_val_t{kCacheLine}));
  size_ = bytes;
}

HugePageBuffer::~HugePageBuffer() { Release(); }

HugePageBuffer::HugePageBuffer(HugePageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

HugePageBuffer& HugePageBuffer::operator=(HugePageBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

void HugePageBuffer::Release() noexcept {
  if (data_ == nullptr) return;
#if defined(__linux__) && !defined(TONEFIELD_HEAP_ONLY)
  if (mapped_) {
    ::munmap(data_, size_);
  } else {
    ::operator delete(data_, std::align_val_t{kCacheLine});
  }
#else
  ::operator delete(data_, std::align_val_t{kCacheLine});
#endif
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace tonefield

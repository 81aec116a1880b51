#include "audio_io/RiffFile.h"

#include <algorithm>
#include <array>
#include <climits>
#include <limits>

#include "common/WaveFormat.h"

namespace tonefield {

namespace {

struct FaultPlan {
  bool armed = false;
  int remaining = -1;  // operations to let pass; -1 once the fault has fired
  int seen = 0;
  int reads = 0;
};

thread_local FaultPlan t_faultPlan;

// Counts one write, seek or close; true when the armed fault fires on it.
bool InjectedFault() {
  FaultPlan& plan = t_faultPlan;
  if (!plan.armed) return false;
  ++plan.seen;
  if (plan.remaining == 0) {
    plan.remaining = -1;
    return true;
  }
  if (plan.remaining > 0) --plan.remaining;
  return false;
}

// A search looks at no more chunk headers than this. Real files have a
// handful of chunks; a file of zeros is an endless chain of empty 8-byte
// headers, which would otherwise be walked to its end.
constexpr int kMaxChunksPerSearch = 1024;
constexpr std::size_t kHeaderWindowBytes = 4096;

std::uint32_t PadFor(std::uint64_t size) { return static_cast<std::uint32_t>(size & 1u); }

}  // namespace

ScopedRiffFault::ScopedRiffFault(int failingOperation) {
  t_faultPlan = FaultPlan{true, failingOperation, 0};
}

ScopedRiffFault::~ScopedRiffFault() { t_faultPlan = FaultPlan{}; }

int ScopedRiffFault::OperationsSeen() const { return t_faultPlan.seen; }

int ScopedRiffFault::ReadsSeen() const { return t_faultPlan.reads; }

bool RiffFile::OpenForWriting(const std::string& path, const char* mode) {
  file_.reset();
  position_ = 0;
  fileSize_ = 0;
  writing_ = true;
  file_ = OpenFile(path, mode);
  std::FILE* raw = file_.get();
  if (raw == nullptr) return false;
  // Every write goes straight to the file so a failure shows at its step.
  std::setvbuf(raw, nullptr, _IONBF, 0);
  return true;
}

bool RiffFile::AdoptForReading(UniqueFile file) {
  file_ = std::move(file);
  position_ = 0;
  fileSize_ = 0;
  writing_ = false;
  if (!file_) return false;
  std::FILE* raw = file_.get();
  if (!SeekFile(raw, 0, SEEK_END)) {
    file_.reset();
    return false;
  }
  const std::int64_t size = TellFile(raw);
  if (size < 0 || !SeekFile(raw, 0, SEEK_SET)) {
    file_.reset();
    return false;
  }
  fileSize_ = static_cast<std::uint64_t>(size);
  return true;
}

bool RiffFile::OpenForReading(const std::string& path) {
  // A folder opens as a stream on some systems, and a named pipe would block
  // the open until some other program writes to it.
  return AdoptForReading(OpenRegularFileForReading(path));
}

bool RiffFile::Create(const std::string& path) { return OpenForWriting(path, "wb"); }

bool RiffFile::CreateNew(const std::string& path) { return OpenForWriting(path, "wbx"); }

bool RiffFile::CreateOrReuseEmpty(const std::string& path) {
  if (OpenForWriting(path, "r+b")) {
    std::FILE* raw = file_.get();
    if (SeekFile(raw, 0, SEEK_END) && TellFile(raw) == 0) return true;
  }
  return Create(path);
}

std::uint64_t RiffFile::RemainingBytes() const {
  return fileSize_ > position_ ? fileSize_ - position_ : 0;
}

bool RiffFile::Seek(std::uint64_t offset) {
  if (!file_) return false;
  if (InjectedFault()) return false;
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  if (!SeekFile(file_.get(), static_cast<std::int64_t>(offset), SEEK_SET)) return false;
  position_ = offset;
  return true;
}

std::int64_t RiffFile::Read(std::span<std::uint8_t> out) {
  if (!file_ || writing_) return -1;
  if (t_faultPlan.armed) ++t_faultPlan.reads;
  if (out.empty()) return 0;
  const std::size_t got = std::fread(out.data(), 1, out.size(), file_.get());
  position_ += got;
  if (got == 0 && std::ferror(file_.get())) return -1;
  return static_cast<std::int64_t>(got);
}

std::int64_t RiffFile::Write(std::span<const std::uint8_t> bytes) {
  if (!file_ || !writing_) return -1;
  if (InjectedFault()) return -1;
  if (bytes.empty()) return 0;
  const std::size_t put = std::fwrite(bytes.data(), 1, bytes.size(), file_.get());
  position_ += put;
  if (put != bytes.size()) {
    // Reported here, once: a later close reports only a failure of its own.
    std::clearerr(file_.get());
    return -1;
  }
  return static_cast<std::int64_t>(put);
}

bool RiffFile::ReadExact(std::uint8_t* out, std::size_t count) {
  return Read(std::span<std::uint8_t>(out, count)) == static_cast<std::int64_t>(count);
}

bool RiffFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  return Seek(offset) && Write(bytes) == static_cast<std::int64_t>(bytes.size());
}

bool RiffFile::Descend(ChunkInfo& chunk, const ChunkInfo* parent, DescendMode mode) {
  if (!file_ || writing_) return false;
  const std::uint64_t start = position_;
  const std::uint64_t end = parent != nullptr ? parent->dataOffset + parent->size : fileSize_;

  // Headers come from a window of the file read in one go, so a run of
  // small chunks costs one read rather than a seek and a read each.
  std::array<std::uint8_t, kHeaderWindowBytes> window{};
  std::uint64_t windowOffset = 0;
  std::size_t windowBytes = 0;
  auto fetch = [&](std::uint64_t offset, std::size_t count) -> const std::uint8_t* {
    if (offset >= windowOffset && offset + count <= windowOffset + windowBytes) {
      return window.data() + (offset - windowOffset);
    }
    windowBytes = 0;
    if (offset != position_ && !Seek(offset)) return nullptr;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), fileSize_ - offset));
    const std::int64_t got = Read(std::span<std::uint8_t>(window.data(), want));
    if (got < static_cast<std::int64_t>(count)) return nullptr;
    windowOffset = offset;
    windowBytes = static_cast<std::size_t>(got);
    return window.data();
  };

  std::uint64_t headerOffset = start;
  for (int examined = 0; examined < kMaxChunksPerSearch; ++examined) {
    if (headerOffset >= end || headerOffset + 8 > fileSize_) break;
    const std::uint8_t* header = fetch(headerOffset, 8);
    if (header == nullptr) break;
    const FourCC id = ReadLe32(header);
    const std::uint32_t size = ReadLe32(header + 4);
    FourCC formType = 0;
    bool hasFormType = false;
    if ((id == kFourCCRiff || id == kFourCCList) && headerOffset + 12 <= fileSize_) {
      const std::uint8_t* form = fetch(headerOffset + 8, 4);
      hasFormType = form != nullptr;
      if (hasFormType) formType = ReadLe32(form);
    }
    const bool match = mode == DescendMode::FindRiff
                           ? id == kFourCCRiff && hasFormType && formType == chunk.formType
                           : id == chunk.id;
    if (match) {
      const std::uint64_t body = headerOffset + 8 + (hasFormType ? 4 : 0);
      if (position_ != body && !Seek(body)) break;
      chunk.id = id;
      chunk.size = size;
      chunk.formType = formType;
      chunk.dataOffset = headerOffset + 8;
      chunk.dirty = false;
      return true;
    }
    headerOffset += 8 + static_cast<std::uint64_t>(size) + PadFor(size);
  }
  if (file_) Seek(start);
  return false;
}

bool RiffFile::CreateChunk(ChunkInfo& chunk, CreateMode mode) {
  if (!file_ || !writing_) return false;
  std::array<std::uint8_t, 12> header{};
  std::size_t headerSize = 8;
  if (mode == CreateMode::Riff) chunk.id = kFourCCRiff;
  WriteLe32(header.data(), chunk.id);
  WriteLe32(header.data() + 4, chunk.size);
  if (mode == CreateMode::Riff) {
    WriteLe32(header.data() + 8, chunk.formType);
    headerSize = 12;
  }
  const std::uint64_t headerOffset = position_;
  if (Write(std::span<const std::uint8_t>(header.data(), headerSize)) !=
      static_cast<std::int64_t>(headerSize)) {
    return false;
  }
  chunk.dataOffset = headerOffset + 8;
  chunk.dirty = true;
  return true;
}

bool RiffFile::RewriteSize(ChunkInfo& chunk) {
  if (!file_ || !writing_ || !chunk.dirty) return false;
  const std::uint64_t end = position_;
  if (end < chunk.dataOffset) return false;
  const std::uint64_t size = end - chunk.dataOffset;
  if (size > std::numeric_limits<std::uint32_t>::max()) return false;
  std::array<std::uint8_t, 4> field{};
  WriteLe32(field.data(), static_cast<std::uint32_t>(size));
  if (!WriteAt(chunk.dataOffset - 4, field) || !Seek(end)) return false;
  chunk.size = static_cast<std::uint32_t>(size);
  return true;
}

bool RiffFile::Ascend(ChunkInfo& chunk) {
  if (!file_) return false;
  if (!chunk.dirty || !writing_) {
    return Seek(chunk.dataOffset + chunk.size + PadFor(chunk.size));
  }
  const std::uint64_t end = position_;
  if (end < chunk.dataOffset) return false;
  const std::uint64_t size = end - chunk.dataOffset;
  if (size != chunk.size && !RewriteSize(chunk)) return false;
  if (PadFor(size) != 0) {
    const std::array<std::uint8_t, 1> pad{0};
    if (Write(pad) != 1) return false;
  }
  chunk.dirty = false;
  return true;
}

bool RiffFile::Close() {
  if (!file_) return false;
  std::FILE* raw = file_.release();
  const bool streamOk = std::ferror(raw) == 0;
  const bool injected = InjectedFault();
  const bool closed = std::fclose(raw) == 0;
  return streamOk && closed && !injected;
}

}  // namespace tonefield

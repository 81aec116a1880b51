// A RIFF file opened for reading or created for writing, with chunk
// bookkeeping: descend searches forward for a RIFF form or a chunk id,
// create writes a chunk header with a placeholder size, ascend leaves a
// chunk (reading: skips to its end and pad byte; writing: patches its size
// and adds the pad byte for an odd size). Results follow the old multimedia
// file functions: Read/Write give a byte count or -1, the rest give true on
// success. Files are owned here; Close reports, the destructor only releases.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "common/RegularFile.h"

namespace tonefield {

using FourCC = std::uint32_t;

// "RIFF", "WAVE", "fmt " ... as the little-endian value stored in files.
constexpr FourCC MakeFourCC(std::string_view text) {
  FourCC value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const auto byte = i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{' '};
    value |= static_cast<FourCC>(byte) << (8 * i);
  }
  return value;
}

inline constexpr FourCC kFourCCRiff = MakeFourCC("RIFF");
inline constexpr FourCC kFourCCList = MakeFourCC("LIST");

// One chunk as descended into or created.
struct ChunkInfo {
  FourCC id = 0;
  std::uint32_t size = 0;      // body size; for RIFF/LIST it includes the form type
  FourCC formType = 0;         // RIFF/LIST only
  std::uint64_t dataOffset = 0;  // offset of the body (the form type for RIFF/LIST)
  bool dirty = false;          // created by this file: ascend patches the size
};

enum class DescendMode { FindRiff, FindChunk };
enum class CreateMode { Riff, Chunk };

class RiffFile {
 public:
  RiffFile() = default;
  RiffFile(RiffFile&&) noexcept = default;
  RiffFile& operator=(RiffFile&&) noexcept = default;
  ~RiffFile() = default;

  // Opens an existing regular file for reading; anything else is refused.
  bool OpenForReading(const std::string& path);
  // Creates (or truncates) a file for writing only.
  bool Create(const std::string& path);
  // Creates a file that must not exist yet; false when it does or on error.
  bool CreateNew(const std::string& path);
  // As Create, but an existing empty file (one made for this) is written as
  // it is: truncating it would make ext4 flush it to disk when it is closed.
  bool CreateOrReuseEmpty(const std::string& path);

  bool IsOpen() const { return file_ != nullptr; }

  // Searches forward from the current position for a top-level RIFF chunk of
  // chunk.formType, or for a chunk with id chunk.id inside parent, looking at
  // no more than 1024 chunk headers and never past the file's end. On success
  // fills chunk and leaves the position at its body (after the form type).
  bool Descend(ChunkInfo& chunk, const ChunkInfo* parent, DescendMode mode);
  // Writes a chunk header (id, chunk.size, form type for a RIFF) at the
  // current position and marks the chunk for patching on ascend.
  bool CreateChunk(ChunkInfo& chunk, CreateMode mode);
  // Leaves a chunk, see above. The position ends after the chunk and its pad byte.
  bool Ascend(ChunkInfo& chunk);
  // Writes the size a written chunk has now into its header, staying inside it.
  bool RewriteSize(ChunkInfo& chunk);

  std::int64_t Read(std::span<std::uint8_t> out);
  std::int64_t Write(std::span<const std::uint8_t> bytes);
  bool Seek(std::uint64_t offset);

  std::uint64_t Position() const { return position_; }
  // Bytes between the position and the end of the file (reading only).
  std::uint64_t RemainingBytes() const;

  // Closes the file, reporting whether everything reached it. A write that
  // failed has been reported by its own result and does not fail the close.
  bool Close();

 private:
  bool OpenForWriting(const std::string& path, const char* mode);
  bool AdoptForReading(UniqueFile file);
  bool ReadExact(std::uint8_t* out, std::size_t count);
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);

  UniqueFile file_;
  bool writing_ = false;
  std::uint64_t position_ = 0;
  std::uint64_t fileSize_ = 0;  // at open, for reading
};

// Test seam: while alive, the failingOperation-th (0 = the next) write,
// seek or close of any RiffFile on this thread fails as a full disk would.
// It also counts the reads, which never fail, so a test can bound the work
// a file costs.
class ScopedRiffFault {
 public:
  explicit ScopedRiffFault(int failingOperation);
  ~ScopedRiffFault();
  ScopedRiffFault(const ScopedRiffFault&) = delete;
  ScopedRiffFault& operator=(const ScopedRiffFault&) = delete;
  // Writes, seeks and closes counted so far while this fault was armed.
  int OperationsSeen() const;
  // Reads counted so far while this fault was armed.
  int ReadsSeen() const;
};

}  // namespace tonefield

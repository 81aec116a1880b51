// Runs the tonefield-render executable in a scratch folder and captures its
// exit status and both output streams; plus small WAV reading helpers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tonefield::testing {

struct ToolRun {
  int exitCode = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// A fresh folder under the system's temporary folder, removed on destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // Names of every entry in the folder, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

// Runs the tool with args, working folder cwd.
ToolRun RunTool(const std::vector<std::string>& args, const std::filesystem::path& cwd);
// The same with standard output going to the file or device stdoutFile (run.out stays empty).
ToolRun RunToolWritingTo(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                         const std::filesystem::path& stdoutFile);

// The tool running in the background, its output discarded; killed if still
// running when destroyed. Started by posix_spawn (ToolProcessPosix.cpp) or
// CreateProcessW (ToolProcessWin32.cpp).
class ToolProcess {
 public:
  ToolProcess(const std::vector<std::string>& args, const std::filesystem::path& cwd);
  ~ToolProcess();
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;
  bool started() const { return process_ != 0; }
  // Interrupts it as Ctrl+C does (SIGINT; a console break on Windows) and
  // waits for it to end. kNotSent where the system would not pass the
  // interrupt on (a child without a console under wine): it is then killed.
  enum class Interrupted { kEndedByIt, kEndedOtherwise, kNotSent };
  Interrupted InterruptAndWait();

 private:
  std::intptr_t process_ = 0;  // the process id, or the process handle on Windows
};

inline ToolProcess StartTool(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
  return ToolProcess(args, cwd);
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file);
std::string ReadText(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

// A RIFF WAVE file with one "fmt " and one "data" chunk.
std::vector<std::uint8_t> MakeWaveBytes(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                        const std::vector<std::uint8_t>& data);

// The fields of a 46-byte-header WAV file as this tool writes them.
struct WrittenWave {
  std::uint32_t riffSize = 0;
  std::uint32_t fmtSize = 0;
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bits = 0;
  std::uint16_t cbSize = 0;
  std::uint32_t dataSize = 0;
  std::vector<std::uint8_t> data;
  bool tagsRight = false;  // "RIFF", "WAVE", "fmt ", "data" where they belong
};
WrittenWave ParseWrittenWave(const std::vector<std::uint8_t>& bytes);

}  // namespace tonefield::testing

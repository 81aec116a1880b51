// tonefield-render: renders a song on the window's engine into a WAV file,
// or exports the key waves. See RenderCommandLine.h for the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ErrorGloss.h"
#include "app/FileErrorCause.h"
#include "OfflineRenderer.h"
#include "RenderCommandLine.h"
#include "ScoreSource.h"
#include "common/ProcessArguments.h"
#include "midi/MidiFileLoad.h"

namespace tonefield {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFileError = 1;
constexpr int kExitUsageError = 2;

// "tonefield-render: FILE: <Japanese message> (<English gloss>)"; the file
// is left out when the message already names it.
int ReportFileError(const ToolStatus& status) {
  const bool named = status.file.empty() || status.message == CannotOpenFileMessage(status.file) ||
                     status.message == CannotWriteFileMessage(status.file) ||
                     status.message == CannotCreateFolderMessage(status.file);
  std::fprintf(stderr, "tonefield-render: %s%s%s (%s)\n", named ? "" : status.file.c_str(), named ? "" : ": ",
               status.message.c_str(), std::string(EnglishGloss(status.message)).c_str());
  // A message that names only a system function gets its cause on a second line.
  const FileAccess access = status.message.starts_with("mmio") ? FileAccess::Writing : FileAccess::Reading;
  if (const std::string cause = FileErrorCause(status.message, status.file, access, {}); !cause.empty()) {
    std::fprintf(stderr, "tonefield-render: %s\n", cause.c_str());
  }
  return kExitFileError;
}

// Text asked for on standard output that did not get there (a full disk, a
// closed pipe) is a failure, reported on stderr.
int FinishStandardOutput() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return kExitSuccess;
  const int error = errno;
  std::fprintf(stderr, "tonefield-render: cannot write to standard output: %s\n", std::strerror(error));
  return kExitFileError;
}

int ListSongs() {
  const std::vector<std::string> titles = BuiltInSongTitles();
  for (std::size_t i = 0; i < titles.size(); ++i) std::printf("%zu  %s\n", i + 1, titles[i].c_str());
  return FinishStandardOutput();
}

int Run(const RenderOptions& options) {
  OfflineRenderer renderer;
  if (options.samplePath) {
    if (ToolStatus status = renderer.LoadSample(*options.samplePath); !status.ok) return ReportFileError(status);
  } else {
    renderer.UseDefaultSample();
  }

  if (options.mode == RenderMode::kExportKeys) {
    ToolStatus status = renderer.ExportKeyBank(options.exportDir);
    return status.ok ? kExitSuccess : ReportFileError(status);
  }

  if (options.mode == RenderMode::kRenderMidiFile) {
    const MidiFileLoad load = LoadMidiFile(options.midiFilePath);
    if (!load.file.ok) {
      const std::string message = load.openFailed ? CannotOpenFileMessage(options.midiFilePath) : load.file.message;
      return ReportFileError(ToolStatus::Failure(message, options.midiFilePath));
    }
    ToolStatus status = renderer.RenderMidiFileToWaveFile(
        load.file.data, {.dropOutOfRange = options.dropOutOfRange, .channels = options.midiChannels},
        options.tempoPosition, options.outPath);
    return status.ok ? kExitSuccess : ReportFileError(status);
  }

  ScoreChoice choice = ScoreChoice::BuiltInSong(options.songNumber);
  if (options.songNumber == 0) {
    ScoreFileRead read = ReadUserScoreFile(options.scorePath);
    if (!read.status.ok) return ReportFileError(read.status);
    choice = std::move(read.choice);
  }
  ToolStatus status = renderer.RenderToWaveFile(choice, options.tempoPosition, options.outPath);
  return status.ok ? kExitSuccess : ReportFileError(status);
}

}  // namespace
}  // namespace tonefield

int main(int argc, char** argv) {
  using namespace tonefield;
  PrepareStandardStreams();
  const std::vector<std::string> arguments = Utf8Arguments(argc, argv);
  std::vector<std::string_view> args(arguments.begin(), arguments.end());
  const ParsedCommandLine parsed = ParseRenderCommandLine(args);
  if (!parsed.ok) {
    std::fprintf(stderr, "tonefield-render: %s\n%s", parsed.error.c_str(), RenderUsageText().c_str());
    return kExitUsageError;
  }
  switch (parsed.options.mode) {
    case RenderMode::kHelp:
      std::fputs(RenderHelpText().c_str(), stdout);
      return FinishStandardOutput();
    case RenderMode::kVersion:
      std::fputs(RenderVersionText().c_str(), stdout);
      return FinishStandardOutput();
    case RenderMode::kListSongs:
      return ListSongs();
    case RenderMode::kRenderSong:
    case RenderMode::kRenderMidiFile:
    case RenderMode::kExportKeys:
      return Run(parsed.options);
  }
  return kExitUsageError;
}

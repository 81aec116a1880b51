// The executable's exit status and streams for the command-line cases.
#include <gtest/gtest.h>

#include "ToolRunner.h"
#include "support/TestPlatform.h"

namespace tonefield::testing {
namespace {

TEST(RenderToolCommandLine, UsageErrorsExitWithTwoAndAShortUsageOnStderr) {
  ScratchFolder scratch;
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--song", "1"},
      {"--song", "0", "--out", "o.wav"},
      {"--song", "1", "--tempo", "11", "--out", "o.wav"},
      {"--song", "1", "--score", "s.txt", "--out", "o.wav"},
      {"--list", "--song", "1"},
      {"--export-keys", "d", "--out", "o.wav"},
      {"--bogus"},
  };
  for (const auto& args : cases) {
    ToolRun run = RunTool(args, scratch.path());
    std::string joined;
    for (const std::string& a : args) joined += a + " ";
    EXPECT_EQ(run.exitCode, 2) << joined;
    EXPECT_NE(run.err.find("usage: tonefield-render"), std::string::npos) << joined << run.err;
    EXPECT_EQ(run.out, "") << joined;
    EXPECT_LT(run.err.size(), 600u) << "a short usage, not the whole help";
  }
  EXPECT_TRUE(scratch.Entries().empty()) << "a usage error writes nothing";
}

TEST(RenderToolCommandLine, HelpGoesToStdoutAndSucceeds) {
  ScratchFolder scratch;
  ToolRun run = RunTool({"--help"}, scratch.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  for (const char* option : {"--sample", "--song", "--score", "--tempo", "--out", "--export-keys", "--list"}) {
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
  }
}

TEST(RenderToolCommandLine, VersionNamesTheToolAndItsVersionOnStdout) {
  ScratchFolder scratch;
  ToolRun run = RunTool({"--version"}, scratch.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, std::string("tonefield-render ") + TONEFIELD_VERSION + "\n");
}

// Output that cannot be written is a failure, not a success with nothing shown.
TEST(RenderToolCommandLine, ListAndHelpIntoAFullDeviceFailWithAMessage) {
  TONEFIELD_SKIP_ON_WINDOWS("there is no device that is always full, like /dev/full");
  ScratchFolder scratch;
  for (const char* option : {"--list", "--help", "--version"}) {
    ToolRun run = RunToolWritingTo({option}, scratch.path(), "/dev/full");
    EXPECT_EQ(run.exitCode, 1) << option;
    EXPECT_NE(run.err.find("standard output"), std::string::npos) << option << ": " << run.err;
  }
}

}  // namespace
}  // namespace tonefield::testing

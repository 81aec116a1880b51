#include "RenderCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonefield {
namespace {

ParsedCommandLine Parse(std::vector<std::string_view> args) { return ParseRenderCommandLine(args); }

TEST(RenderCommandLine, AcceptsEachSynopsisForm) {
  ParsedCommandLine render = Parse({"--sample", "a.wav", "--song", "9", "--tempo", "0", "--out", "o.wav"});
  ASSERT_TRUE(render.ok) << render.error;
  EXPECT_EQ(render.options.mode, RenderMode::kRenderSong);
  EXPECT_EQ(render.options.samplePath, "a.wav");
  EXPECT_EQ(render.options.songNumber, 9);
  EXPECT_EQ(render.options.tempoPosition, 0);
  EXPECT_EQ(render.options.outPath, "o.wav");

  ParsedCommandLine score = Parse({"--out=o.wav", "--score=s.txt"});
  ASSERT_TRUE(score.ok) << score.error;
  EXPECT_EQ(score.options.songNumber, 0);
  EXPECT_EQ(score.options.scorePath, "s.txt");
  EXPECT_EQ(score.options.tempoPosition, 5) << "the slider starts in the middle";
  EXPECT_FALSE(score.options.samplePath.has_value());

  ParsedCommandLine keys = Parse({"--export-keys", "bank", "--sample", "x.wav"});
  ASSERT_TRUE(keys.ok) << keys.error;
  EXPECT_EQ(keys.options.mode, RenderMode::kExportKeys);
  EXPECT_EQ(keys.options.exportDir, "bank");
  EXPECT_EQ(keys.options.samplePath, "x.wav");

  EXPECT_EQ(Parse({"--list"}).options.mode, RenderMode::kListSongs);
  EXPECT_EQ(Parse({"--help"}).options.mode, RenderMode::kHelp);
  EXPECT_EQ(Parse({"--song", "1", "-h"}).options.mode, RenderMode::kHelp) << "help wins over the rest";
  EXPECT_EQ(Parse({"--version"}).options.mode, RenderMode::kVersion);
  EXPECT_EQ(Parse({"--song", "abc", "--version"}).options.mode, RenderMode::kVersion) << "version wins over mistakes";
  EXPECT_EQ(Parse({"--version", "--help"}).options.mode, RenderMode::kHelp);
  EXPECT_FALSE(Parse({"--version=1"}).ok) << "--version takes no value";
}

TEST(RenderCommandLine, NumbersAreCheckedAtTheirBounds) {
  struct Case {
    std::vector<std::string_view> args;
    bool ok;
  };
  const Case cases[] = {
      {{"--song", "1", "--out", "o"}, true},   {{"--song", "9", "--out", "o"}, true},
      {{"--song", "0", "--out", "o"}, false},  {{"--song", "10", "--out", "o"}, false},
      {{"--song", "-1", "--out", "o"}, false}, {{"--song", "+1", "--out", "o"}, false},
      {{"--song", "1x", "--out", "o"}, false}, {{"--song", " 1", "--out", "o"}, false},
      {{"--song", "99999999999999999999", "--out", "o"}, false},
      {{"--song", "1", "--tempo", "10", "--out", "o"}, true},
      {{"--song", "1", "--tempo", "11", "--out", "o"}, false},
      {{"--song", "1", "--tempo", "5.0", "--out", "o"}, false},
      {{"--song", "01", "--out", "o"}, true},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (std::string_view a : c.args) joined += std::string(a) + " ";
    ParsedCommandLine parsed = Parse(c.args);
    EXPECT_EQ(parsed.ok, c.ok) << joined << parsed.error;
    if (!parsed.ok) {
      EXPECT_FALSE(parsed.error.empty()) << joined;
    }
  }
}

TEST(RenderCommandLine, RefusesEveryMalformedCombination) {
  const std::vector<std::vector<std::string_view>> bad = {
      {},
      {"--song", "1"},                                    // no --out
      {"--out", "o.wav"},                                 // nothing to render
      {"--tempo", "3"},
      {"--song", "1", "--score", "s.txt", "--out", "o"},  // both sources
      {"--song", "1", "--song", "2", "--out", "o"},       // repeated
      {"--song", "1", "--out"},                           // value missing
      {"--song", "1", "--out="},                          // empty value
      {"--song", "1", "--out", "o", "extra"},             // stray argument
      {"--song", "1", "--out", "o", "--loud"},            // unknown option
      {"--list", "--song", "1"},
      {"--list", "--sample", "a.wav"},
      {"--list=yes"},
      {"--export-keys", "d", "--out", "o"},
      {"--export-keys", "d", "--song", "1"},
      {"--export-keys", "d", "--tempo", "5"},
      {"--sample", "a.wav"},
      {"-x"},
  };
  for (const auto& args : bad) {
    std::string joined;
    for (std::string_view a : args) joined += std::string(a) + " ";
    ParsedCommandLine parsed = Parse(args);
    EXPECT_FALSE(parsed.ok) << "accepted: " << joined;
    EXPECT_FALSE(parsed.error.empty()) << joined;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << "one line: " << parsed.error;
  }
}

// The first mistake on the line is the one reported: a bad value is not
// hidden behind an option missing later, nor behind a later mistake.
TEST(RenderCommandLine, MistakesAreReportedInTheOrderOfTheArguments) {
  struct Case {
    std::vector<std::string_view> args;
    std::string_view errorStart;
  };
  const Case cases[] = {
      {{"--song", "abc"}, "--song must be a number"},
      {{"--tempo", "99", "--song", "1"}, "--tempo must be a number"},
      {{"--song", "abc", "--tempo", "99"}, "--song must be a number"},
      {{"--tempo", "99", "--song", "abc", "--out", "o"}, "--tempo must be a number"},
      {{"--song", "0", "--bogus"}, "--song must be a number"},
      {{"--song", "x", "--song", "1"}, "--song must be a number"},
      {{"--export-keys", "d", "--tempo", "fast"}, "--tempo must be a number"},
      {{"--bogus", "--song", "abc"}, "unknown option --bogus"},
      {{"--song", "1"}, "--out OUT.wav is missing"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (std::string_view a : c.args) joined += std::string(a) + " ";
    const ParsedCommandLine parsed = Parse(c.args);
    EXPECT_FALSE(parsed.ok) << joined;
    EXPECT_TRUE(parsed.error.starts_with(c.errorStart)) << joined << "-> " << parsed.error;
  }
  EXPECT_EQ(Parse({"--song", "abc", "--help"}).options.mode, RenderMode::kHelp) << "help still wins";
}

TEST(RenderCommandLine, ValuesThatLookLikeOptionsAreTakenAsValues) {
  // A file literally named "--list" is still a file after --out.
  ParsedCommandLine parsed = Parse({"--song", "2", "--out", "--list"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.options.outPath, "--list");
}

}  // namespace
}  // namespace tonefield

#include "app/LaunchOptions.h"

#include <gtest/gtest.h>

namespace tonefield {
namespace {

TEST(LaunchOptions, TakesTheBufferAndTheDevicesInBothSpellings) {
  const LaunchOptions options =
      ParseLaunchOptions({"--buffer", "128", "--output-device=USB Audio", "--input-device", "Mic 2"});
  EXPECT_TRUE(options.error.empty()) << options.error;
  EXPECT_EQ(options.bufferSamples, 128u);
  EXPECT_EQ(options.outputDevice, "USB Audio");
  EXPECT_EQ(options.inputDevice, "Mic 2");
  EXPECT_FALSE(options.listDevices);
  const LaunchOptions none = ParseLaunchOptions({});
  EXPECT_TRUE(none.error.empty());
  EXPECT_EQ(none.bufferSamples, 0u);
  EXPECT_TRUE(ParseLaunchOptions({"--list-devices"}).listDevices);
}

TEST(LaunchOptions, RefusesWhatItCannotUseWithAMessage) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--buffer"},
                                             {"--buffer", "15"},
                                             {"--buffer", "8193"},
                                             {"--buffer", "64k"},
                                             {"--buffer=-64"},
                                             {"--output-device"},
                                             {"--input-device="},
                                             {"--loud"},
                                             {"--list-devices=yes"}}) {
    const LaunchOptions options = ParseLaunchOptions(args);
    EXPECT_FALSE(options.error.empty()) << args[0];
  }
  EXPECT_NE(ParseLaunchOptions({"--buffer", "64k"}).error.find("64k"), std::string::npos);
  EXPECT_NE(LaunchUsage().find("--list-devices"), std::string::npos);
}

}  // namespace
}  // namespace tonefield

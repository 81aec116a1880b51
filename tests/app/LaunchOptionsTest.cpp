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

TEST(LaunchOptions, TakesTheMidiApiTranspositionAndVelocity) {
  const LaunchOptions none = ParseLaunchOptions({});
  EXPECT_EQ(none.midiApi, MidiApi::Default);
  EXPECT_EQ(none.midiTranspose, 0);
  EXPECT_TRUE(none.midiVelocity);
  const LaunchOptions options =
      ParseLaunchOptions({"--midi-api", "none", "--midi-transpose", "-12", "--midi-velocity=off"});
  EXPECT_TRUE(options.error.empty()) << options.error;
  EXPECT_EQ(options.midiApi, MidiApi::None);
  EXPECT_EQ(options.midiTranspose, -12);
  EXPECT_FALSE(options.midiVelocity);
  EXPECT_EQ(ParseLaunchOptions({"--midi-transpose=+24"}).midiTranspose, 24);
  EXPECT_EQ(ParseLaunchOptions({"--midi-transpose", "127"}).midiTranspose, 127);
#ifndef _WIN32
  EXPECT_EQ(ParseLaunchOptions({"--midi-api=jack"}).midiApi, MidiApi::Jack);
  EXPECT_EQ(ParseLaunchOptions({"--midi-api", "alsa"}).midiApi, MidiApi::Alsa);
#endif
  EXPECT_NE(LaunchUsage().find("--midi-transpose"), std::string::npos);
}

TEST(LaunchOptions, TakesTheMidiChannelAndAutoConnection) {
  const LaunchOptions none = ParseLaunchOptions({});
  EXPECT_EQ(none.midiChannel, 0) << "every channel";
  EXPECT_TRUE(none.midiAutoConnect);
  const std::pair<std::vector<std::string>, int> channels[] = {
      {{"--midi-channel", "all"}, 0}, {{"--midi-channel", "1"}, 1}, {{"--midi-channel=10"}, 10},
      {{"--midi-channel", "16"}, 16}};
  for (const auto& [args, channel] : channels) {
    const LaunchOptions options = ParseLaunchOptions(args);
    EXPECT_TRUE(options.error.empty()) << options.error;
    EXPECT_EQ(options.midiChannel, channel) << args.back();
  }
  EXPECT_FALSE(ParseLaunchOptions({"--midi-autoconnect=off"}).midiAutoConnect);
  EXPECT_NE(LaunchUsage().find("--midi-channel all|1..16"), std::string::npos);
}

TEST(LaunchOptions, ASecondStartSaysWhichOfItsOptionsWereNotApplied) {
  const std::vector<std::string> args = {"--midi-api", "jack", "-style", "fusion", "--midi-channel=2",
                                         "--buffer", "128", "--midi-autoconnect", "off"};
  const std::vector<std::string> own = WindowOptions(args);
  EXPECT_EQ(own, (std::vector<std::string>{"--midi-api", "jack", "--midi-channel=2", "--buffer", "128",
                                           "--midi-autoconnect", "off"}));
  EXPECT_EQ(AlreadyRunningMessage(own),
            "tonefield: Tonefield is already running on this desktop; its window comes to the front\n"
            "tonefield: not applied (the running window keeps its settings): --midi-api jack --midi-channel=2 "
            "--buffer 128 --midi-autoconnect off\n");
  EXPECT_EQ(AlreadyRunningMessage({}),
            "tonefield: Tonefield is already running on this desktop; its window comes to the front\n");
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
                                             {"--midi-api"},
                                             {"--midi-api", "ALSA"},
                                             {"--midi-api=coremidi"},
                                             {"--midi-transpose"},
                                             {"--midi-transpose", "128"},
                                             {"--midi-transpose", "-128"},
                                             {"--midi-transpose", "1.5"},
                                             {"--midi-transpose=+"},
                                             {"--midi-velocity", "yes"},
                                             {"--midi-velocity"},
                                             {"--midi-channel"},
                                             {"--midi-channel", "0"},
                                             {"--midi-channel", "17"},
                                             {"--midi-channel=All"},
                                             {"--midi-autoconnect", "maybe"},
                                             {"--list-devices=yes"}}) {
    const LaunchOptions options = ParseLaunchOptions(args);
    EXPECT_FALSE(options.error.empty()) << args[0];
  }
  EXPECT_NE(ParseLaunchOptions({"--buffer", "64k"}).error.find("64k"), std::string::npos);
  EXPECT_NE(ParseLaunchOptions({"--midi-transpose", "99999999999"}).error.find("99999999999"), std::string::npos);
  EXPECT_NE(LaunchUsage().find("--list-devices"), std::string::npos);
}

}  // namespace
}  // namespace tonefield

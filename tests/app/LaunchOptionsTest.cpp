#include "app/LaunchOptions.h"
#include "app/LaunchSettings.h"

#include <map>

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

TEST(LaunchOptions, TakesHowMidiFilesPlay) {
  const LaunchOptions none = ParseLaunchOptions({});
  EXPECT_EQ(none.midiFileChannels, 0xFFFF) << "every channel";
  EXPECT_FALSE(none.midiFileDropOutOfRange) << "folded";
  const LaunchOptions some =
      ParseLaunchOptions({"--midi-file-channels", "1-9,11-16", "--midi-file-out-of-range=drop", "song.mid"});
  EXPECT_TRUE(some.error.empty()) << some.error;
  EXPECT_EQ(some.midiFileChannels, 0xFDFF);
  EXPECT_TRUE(some.midiFileDropOutOfRange);
  EXPECT_EQ(some.file, "song.mid");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--midi-file-channels"}, {"--midi-file-channels", "0"}, {"--midi-file-channels=2-1"},
           {"--midi-file-channels", "1,,2"}, {"--midi-file-out-of-range", "wrap"}, {"--midi-file-out-of-range"}}) {
    EXPECT_FALSE(ParseLaunchOptions(args).error.empty()) << args[0] << " " << (args.size() > 1 ? args[1] : "");
  }
  EXPECT_NE(ParseLaunchOptions({"--midi-file-channels", "x"}).error.find("\"x\""), std::string::npos);
  EXPECT_NE(LaunchUsage().find("--midi-file-channels LIST"), std::string::npos);
  EXPECT_NE(LaunchUsage().find("--midi-file-out-of-range fold|drop"), std::string::npos);
  EXPECT_EQ(WindowOptions({"--midi-file-channels", "10", "--midi-file-out-of-range=drop"}),
            (std::vector<std::string>{"--midi-file-channels", "10", "--midi-file-out-of-range=drop"}))
      << "a second start says they were not applied";
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
                                             {"--list-devices=yes"},
                                             {"--version=2"},
                                             {"a.wav", "b.wav"},
                                             {"--", "a.wav", "--", "b.wav"},
                                             {""},
                                             {"-platform"}}) {
    const LaunchOptions options = ParseLaunchOptions(args);
    EXPECT_FALSE(options.error.empty()) << args[0];
  }
  EXPECT_NE(ParseLaunchOptions({"--buffer", "64k"}).error.find("64k"), std::string::npos);
  EXPECT_NE(ParseLaunchOptions({"--midi-transpose", "99999999999"}).error.find("99999999999"), std::string::npos);
  EXPECT_NE(LaunchUsage().find("--list-devices"), std::string::npos);
}

TEST(LaunchOptions, TakesOneFileAndPassesOverTheToolkitsOptions) {
  // A toolkit knowing -style (with a value) and -reverse (without).
  const ToolkitOptionValues toolkit = [](std::string_view option) {
    if (option == "-style" || option == "--style") return 1;
    if (option == "-reverse") return 0;
    return -1;
  };
  struct Case {
    std::vector<std::string> args;
    std::string file;
    bool refused;
  };
  const Case cases[] = {
      {{"song.txt"}, "song.txt", false},
      {{"-style", "fusion", "voice.wav", "-reverse"}, "voice.wav", false},
      {{"--buffer", "256", "--", "-odd name.wav"}, "-odd name.wav", false},
      {{"-"}, "-", false},  // a lone dash is a name, not an option
      {{"-style"}, "", true},  // the toolkit's option without its value
      {{"-bogus"}, "", true},
      {{"--version"}, "", false},
  };
  for (const Case& c : cases) {
    const LaunchOptions options = ParseLaunchOptions(c.args, toolkit);
    EXPECT_EQ(options.file, c.refused ? "" : c.file) << c.args[0];
    EXPECT_EQ(!options.error.empty(), c.refused) << c.args[0] << ": " << options.error;
  }
  EXPECT_EQ(ParseLaunchOptions({"--buffer", "256", "-style", "x"}, toolkit).bufferSamples, 256u);
  EXPECT_TRUE(ParseLaunchOptions({"--version"}).version);
  EXPECT_EQ(LaunchVersion().rfind("tonefield ", 0), 0u);
  EXPECT_NE(LaunchUsage().find("--version"), std::string::npos);
}

TEST(LaunchSettings, SavedSettingsFillWhatTheCommandLineLeavesOpen) {
  std::map<std::string, std::string> saved;
  const SettingWriter write = [&](const std::string& key, const std::string& value) { saved[key] = value; };
  const SettingReader read = [&](const std::string& key) { return saved.count(key) ? saved[key] : std::string(); };
  LaunchOptions dialog;
  dialog.outputDevice = "USB Audio";
  dialog.bufferSamples = 512;
  dialog.midiApi = MidiApi::None;
  dialog.midiTranspose = -12;
  dialog.midiVelocity = false;
  dialog.midiChannel = 10;
  dialog.midiAutoConnect = false;
  SaveSettings(dialog, write);

  const LaunchOptions plain = WithSavedSettings(ParseLaunchOptions({}), read);
  EXPECT_EQ(plain.outputDevice, "USB Audio");
  EXPECT_EQ(plain.inputDevice, "");
  EXPECT_EQ(plain.bufferSamples, 512u);
  EXPECT_EQ(plain.midiApi, MidiApi::None);
  EXPECT_EQ(plain.midiTranspose, -12);
  EXPECT_FALSE(plain.midiVelocity);
  EXPECT_EQ(plain.midiChannel, 10);
  EXPECT_FALSE(plain.midiAutoConnect);

  // The command line wins for its run, each option on its own.
  const LaunchOptions overridden =
      WithSavedSettings(ParseLaunchOptions({"--buffer=64", "--midi-velocity", "on"}), read);
  EXPECT_EQ(overridden.bufferSamples, 64u);
  EXPECT_TRUE(overridden.midiVelocity);
  EXPECT_EQ(overridden.outputDevice, "USB Audio");
  EXPECT_EQ(overridden.midiTranspose, -12);

  // Values the command line would refuse never stop a start.
  saved[kSettingBuffer] = "lots";
  saved[kSettingMidiApi] = "coremidi";
  saved[kSettingMidiTranspose] = "500";
  const LaunchOptions damaged = WithSavedSettings(ParseLaunchOptions({}), read);
  EXPECT_TRUE(damaged.error.empty());
  EXPECT_EQ(damaged.bufferSamples, 0u);
  EXPECT_EQ(damaged.midiApi, MidiApi::Default);
  EXPECT_EQ(damaged.midiTranspose, 0);

  // The defaults are saved as "nothing chosen".
  SaveSettings(LaunchOptions{}, write);
  EXPECT_EQ(saved[kSettingBuffer], "");
  EXPECT_EQ(saved[kSettingMidiApi], "");
  EXPECT_EQ(WithSavedSettings(ParseLaunchOptions({}), read).bufferSamples, 0u);
}

}  // namespace
}  // namespace tonefield

// A device named on the command line must be one SDL knows; the message for
// a wrong one names it and lists what exists.
#include <gtest/gtest.h>

#include "platform/sdl/SdlAudio.h"
#include "platform/sdl/SdlTestSupport.h"

namespace tonefield {
namespace {

using testing::ScopedEnv;

TEST(SdlDeviceNames, AWrongNameIsNamedWithTheDevicesThatExist) {
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  std::string error;
  const std::vector<std::string> playback = ListSdlDevices(false, error);
  ASSERT_TRUE(error.empty()) << error;
  ASSERT_FALSE(playback.empty()) << "the disk driver offers its one device";
  struct Case {
    const char* name;
    std::string device;
    bool capture;
    bool accepted;
  };
  const Case cases[] = {
      {"the default", "", false, true},
      {"SDL's own name", playback.front(), false, true},
      {"an unknown playback name", "Speakers That Are Not There", false, false},
      {"a playback name asked for capture", playback.front(), true, false},
  };
  for (const Case& c : cases) {
    const std::string option = c.capture ? "--input-device" : "--output-device";
    std::string device = c.device;
    const std::string message = CheckSdlDeviceName(device, c.capture, option);
    EXPECT_EQ(message.empty(), c.accepted) << c.name << ": " << message;
    if (c.accepted) continue;
    EXPECT_NE(message.find(option + " \"" + c.device + "\""), std::string::npos) << message;
    EXPECT_NE(message.find(c.capture ? "capture" : "playback"), std::string::npos) << message;
    EXPECT_NE(message.find("--list-devices"), std::string::npos) << message;
  }
  std::string missing = "Speakers That Are Not There";
  const std::string wrong = CheckSdlDeviceName(missing, false, "--output-device");
  EXPECT_NE(wrong.find("\n  " + playback.front()), std::string::npos) << "lists what exists: " << wrong;
}

TEST(SdlDeviceNames, NoDriverIsSaidRatherThanAListOfNothing) {
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  std::string anything = "Anything";
  const std::string message = CheckSdlDeviceName(anything, false, "--output-device");
  EXPECT_NE(message.find("--output-device \"Anything\""), std::string::npos) << message;
  EXPECT_NE(message.find("no-such-driver"), std::string::npos) << message;
}

}  // namespace
}  // namespace tonefield

// The Windows front-end's pieces that work without a window: key
// translation, text at the seam, MIDI message framing, sample conversion
// for the engine's format, the disk output device's file, the capture
// devices' buffer, and when the program starts itself again under wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/WaveFormat.h"
#include "platform/win32/CaptureBufferSlot.h"
#include "platform/win32/DefaultDeviceWatch.h"
#include "platform/win32/DiskSoundDevices.h"
#include "platform/win32/SoundDeviceErrors.h"
#include "platform/win32/WasapiEndpoint.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WineSound.h"
#include "platform/win32/WinMmMidiInput.h"
#include "platform/win32/Win32Window.h"

namespace tonefield {
namespace {

LPARAM KeyParam(int scan, bool extended) {
  return static_cast<LPARAM>(1 | (scan << 16) | (extended ? 1 << 24 : 0));
}

TEST(Win32Keys, ThePhysicalKeyDecidesTheVirtualKeyCode) {
  struct Case {
    const char* what;
    WPARAM layoutVk;
    int scan;
    bool extended;
    int wanted;
  };
  const Case cases[] = {
      {"Z on a US layout", 'Z', 0x2C, false, 'Z'},
      {"Y on a German layout (the key of Z)", 'Y', 0x2C, false, 'Z'},
      {"A on a French layout (the key of Q)", 'A', 0x10, false, 'Q'},
      {"comma", VK_OEM_COMMA, 0x33, false, 0xBC},
      {"[ on US is @ on JIS", VK_OEM_4, 0x1A, false, 0xC0},
      {"ro (JIS)", 0xC1, 0x73, false, 0xE2},
      {"yen (JIS)", 0xDC, 0x7D, false, 0xDC},
      {"Enter on the keypad keeps its own code", VK_RETURN, 0x1C, true, VK_RETURN},
      {"arrow keys keep theirs", VK_LEFT, 0x4B, true, VK_LEFT},
      {"F5 is off the table", VK_F5, 0x3F, false, VK_F5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Win32Window::VirtualKeyOf(c.layoutVk, KeyParam(c.scan, c.extended)), c.wanted) << c.what;
  }
}

TEST(Win32Text, Utf8AndUtf16MeetAtTheSeam) {
  EXPECT_EQ(Wide("演奏.wav"), L"演奏.wav");
  EXPECT_EQ(Utf8(L"表\u266F\U0001F3B9"), "表♯🎹");
  EXPECT_EQ(Utf8(Wide("")), "");
  EXPECT_EQ(Wide("a\xFF" "b"), L"a\uFFFDb") << "bytes that are not UTF-8 become U+FFFD";
  EXPECT_EQ(Utf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD") << "an unpaired surrogate becomes U+FFFD";
  EXPECT_FALSE(Win32ErrorText(ERROR_FILE_NOT_FOUND).empty());
}

TEST(Win32Midi, ShortMessagesKeepTheirLengthAndRealTimeNoiseIsLeftOut) {
  const std::pair<int, std::size_t> cases[] = {
      {0x90, 3}, {0x80, 3}, {0xB3, 3}, {0xE0, 3}, {0xC0, 2}, {0xD5, 2}, {0xF2, 3}, {0xF3, 2},
      {0xFA, 1}, {0xFC, 1}, {0xF0, 0}, {0xF1, 0}, {0xF8, 0}, {0xFE, 0}, {0x40, 0},
  };
  for (const auto& [status, length] : cases) {
    EXPECT_EQ(WinMmMidiInput::MessageLength(static_cast<std::uint8_t>(status)), length) << std::hex << status;
  }
}

TEST(Win32Sound, MonoIsCopiedToEveryChannelOfTheEnginesFormat) {
  const std::int16_t mono[] = {0, 16384, -32768, 32767};
  WasapiStream stream;
  stream.channels = 2;
  stream.layout = SampleLayout::Float32;
  float floats[8] = {};
  ConvertFromMono(mono, 4, reinterpret_cast<BYTE*>(floats), stream);
  const float wantedFloats[] = {0.0f, 0.0f, 0.5f, 0.5f, -1.0f, -1.0f, 32767 / 32768.0f, 32767 / 32768.0f};
  for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(floats[i], wantedFloats[i]) << i;
  stream.layout = SampleLayout::Int32;
  std::int32_t ints[8] = {};
  ConvertFromMono(mono, 4, reinterpret_cast<BYTE*>(ints), stream);
  EXPECT_EQ(ints[3], 16384 * 65536);
  EXPECT_EQ(ints[5], -32768 * 65536);
  // And back: the first channel, clamped.
  std::int16_t back[4] = {};
  stream.layout = SampleLayout::Float32;
  ConvertToMono(reinterpret_cast<BYTE*>(floats), 4, back, stream);
  EXPECT_EQ(std::vector<std::int16_t>(back, back + 4), std::vector<std::int16_t>(mono, mono + 4));
  stream.layout = SampleLayout::Int16Mono;
  stream.channels = 1;
  std::int16_t same[4] = {};
  ConvertFromMono(mono, 4, reinterpret_cast<BYTE*>(same), stream);
  EXPECT_EQ(std::vector<std::int16_t>(same, same + 4), std::vector<std::int16_t>(mono, mono + 4));
}

TEST(Win32Sound, OnlySixteenBitMonoPcmIsPlayable) {
  EXPECT_TRUE(IsDevicePlayableFormat(Pcm16Mono(11025)));
  EXPECT_TRUE(IsDevicePlayableFormat(Pcm16Mono(48000)));
  EXPECT_FALSE(IsDevicePlayableFormat(Pcm16Mono(50)));
  WaveFormat stereo = Pcm16Mono(44100);
  stereo.channels = 2;
  EXPECT_FALSE(IsDevicePlayableFormat(stereo));
  DeviceErrorTexts errors;
  EXPECT_EQ(errors.FailWith(kMmBadDeviceId, "gone"), kMmBadDeviceId);
  EXPECT_EQ(errors.Text(kMmBadDeviceId), "gone");
  EXPECT_FALSE(errors.Text(kWaveBadFormat).empty());
}

// Counts up from 1, one sample after another, whatever the block size.
class CountingSource final : public AudioSource {
 public:
  void Render(std::span<std::int16_t> buffer) noexcept override {
    for (std::int16_t& s : buffer) s = ++next_;
    blocks_.fetch_add(1);
  }
  int blocks() const { return blocks_.load(); }

 private:
  std::int16_t next_ = 0;
  std::atomic<int> blocks_{0};
};

TEST(Win32Sound, TheDiskDeviceWritesWhatWasRenderedWhileStartedAndNothingAfterStop) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / L"tonefield-disk-演奏.raw";
  SetEnvironmentVariableW(L"SDL_DISKAUDIOFILE", file.wstring().c_str());
  SetEnvironmentVariableW(L"SDL_DISKAUDIODELAY", L"1");
  CountingSource source;
  {
    DiskWaveOut device;
    WaveFormat stereo = Pcm16Mono(8000);
    stereo.channels = 2;
    EXPECT_NE(device.Open(stereo, 64, source), kMmSuccess) << "stereo is refused";
    ASSERT_EQ(device.Open(Pcm16Mono(11025), 64, source), kMmSuccess);
    EXPECT_EQ(device.BufferSamples(), 64u);
    ASSERT_EQ(device.Start(), kMmSuccess);
    while (source.blocks() < 5) Sleep(1);
    ASSERT_EQ(device.Stop(), kMmSuccess);
    const int blocks = source.blocks();
    Sleep(20);
    EXPECT_EQ(source.blocks(), blocks) << "nothing is rendered once Stop returns";
    ASSERT_EQ(device.Close(), kMmSuccess);
    EXPECT_EQ(device.Close(), kMmInvalidHandle);
  }
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size() % 128, 0u) << "whole blocks";
  ASSERT_GE(bytes.size(), 5u * 128);
  const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size() / 2; ++i) ASSERT_EQ(samples[i], static_cast<std::int16_t>(i + 1)) << i;
  in.close();
  std::filesystem::remove(file);
  SetEnvironmentVariableW(L"SDL_DISKAUDIODELAY", nullptr);
}

struct HeldBuffers final : WaveInListener {
  std::vector<WaveHeader*> handed;
  void OnWaveInData(WaveHeader* header) override { handed.push_back(header); }
};

TEST(Win32Capture, TheBufferComesBackFullInOrderOnceAndNothingPastItsEndIsWritten) {
  struct Case {
    const char* what;
    std::uint32_t length;
    std::vector<std::uint32_t> pieces;  // bytes the device's thread offers, in turn
    int fullAfter;                      // the piece that fills it (-1: never full)
  };
  const Case cases[] = {
      {"whole pieces", 8, {4, 4, 4}, 1},
      {"the last piece is cut to what fits", 10, {4, 4, 4, 4}, 2},
      {"one piece larger than the buffer", 6, {16}, 0},
      {"empty pieces change nothing", 4, {0, 2, 0, 2}, 3},
      {"never full: nothing is handed back", 8, {2, 2}, -1},
  };
  for (const Case& c : cases) {
    DeviceErrorTexts errors;
    CaptureBufferSlot slot;
    HeldBuffers listener;
    std::vector<std::uint8_t> memory(c.length + 4, 0xEE);  // 4 guard bytes
    WaveHeader header{memory.data(), c.length, 0, 0};
    slot.Clear();
    ASSERT_EQ(slot.Prepare(header, errors), kMmSuccess) << c.what;
    ASSERT_EQ(slot.Add(header, errors), kMmSuccess) << c.what;
    std::vector<std::uint8_t> offered;
    offered.reserve(64);  // never moves while pieces of it are offered
    int fullAt = -1;
    for (std::size_t i = 0; i < c.pieces.size(); ++i) {
      const std::size_t start = offered.size();
      for (std::uint32_t b = 0; b < c.pieces[i]; ++b) offered.push_back(static_cast<std::uint8_t>(offered.size() + 1));
      if (slot.Fill(offered.data() + start, c.pieces[i])) {
        EXPECT_EQ(fullAt, -1) << c.what << ": full told once";
        fullAt = static_cast<int>(i);
      }
    }
    EXPECT_EQ(fullAt, c.fullAfter) << c.what;
    slot.DeliverFull(&listener);
    slot.DeliverFull(&listener);
    if (c.fullAfter < 0) {
      EXPECT_TRUE(listener.handed.empty()) << c.what;
      slot.GiveBackUnfinished();
      EXPECT_EQ(header.flags, kWaveHeaderPrepared) << c.what << ": back without a call, no longer queued";
      EXPECT_TRUE(listener.handed.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(listener.handed, std::vector<WaveHeader*>{&header}) << c.what;
    EXPECT_EQ(header.bytesRecorded, c.length) << c.what;
    EXPECT_EQ(header.flags, kWaveHeaderPrepared | kWaveHeaderDone) << c.what;
    for (std::uint32_t i = 0; i < c.length; ++i) ASSERT_EQ(memory[i], offered[i]) << c.what << " byte " << i;
    for (std::uint32_t i = c.length; i < memory.size(); ++i) ASSERT_EQ(memory[i], 0xEE) << c.what << " guard " << i;
    EXPECT_FALSE(slot.Fill(offered.data(), 4)) << c.what << ": no buffer, nothing taken";
    EXPECT_EQ(slot.Unprepare(header, errors), kMmSuccess) << c.what;
    // Added again, it fills again from its start.
    ASSERT_EQ(slot.Prepare(header, errors), kMmSuccess) << c.what;
    ASSERT_EQ(slot.Add(header, errors), kMmSuccess) << c.what;
    EXPECT_TRUE(slot.Fill(offered.data(), c.length)) << c.what;
    slot.DeliverFull(&listener);
    EXPECT_EQ(listener.handed.size(), 2u) << c.what;
  }
}

TEST(Win32Capture, TheCallsOutOfTurnAreRefusedAndLoseNothing) {
  DeviceErrorTexts errors;
  CaptureBufferSlot slot;
  std::uint8_t memory[4] = {};
  WaveHeader empty{nullptr, 4, 0, 0};
  WaveHeader header{memory, sizeof memory, 0, 0};
  WaveHeader second{memory, sizeof memory, 0, 0};
  EXPECT_EQ(slot.Prepare(empty, errors), kMmError);
  EXPECT_EQ(errors.Text(kMmError), "The capture buffer is empty.");
  EXPECT_EQ(slot.Add(header, errors), kWaveUnprepared);
  ASSERT_EQ(slot.Prepare(header, errors), kMmSuccess);
  ASSERT_EQ(slot.Prepare(second, errors), kMmSuccess);
  ASSERT_EQ(slot.Add(header, errors), kMmSuccess);
  EXPECT_EQ(header.flags, kWaveHeaderPrepared | kWaveHeaderInQueue);
  EXPECT_EQ(slot.Add(second, errors), kMmNoMemory) << "one buffer at a time";
  EXPECT_EQ(second.flags, kWaveHeaderPrepared);
  EXPECT_EQ(slot.Unprepare(header, errors), kWaveStillPlaying);
  slot.GiveBackUnfinished();
  EXPECT_EQ(slot.Unprepare(header, errors), kMmSuccess);
  EXPECT_EQ(header.flags, 0u);
  EXPECT_EQ(slot.Add(second, errors), kMmSuccess) << "the slot is free again";
}

TEST(Win32Capture, TheDiskDeviceRecordsItsFileThenSilenceAndGivesBackAnUnfilledBufferOnClose) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / L"tonefield-disk-録音.raw";
  std::vector<std::uint8_t> recorded(3001);
  for (std::size_t i = 0; i < recorded.size(); ++i) recorded[i] = static_cast<std::uint8_t>(i * 7 + 1);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(recorded.data()), std::ssize(recorded));
  SetEnvironmentVariableW(L"SDL_DISKAUDIOFILEIN", file.wstring().c_str());
  SetEnvironmentVariableW(L"SDL_DISKAUDIODELAY", L"1");
  std::atomic<int> wakes{0};
  DiskWaveIn device([&wakes] { wakes.fetch_add(1); });
  HeldBuffers listener;
  std::vector<std::uint8_t> memory(4000, 0xEE);
  WaveHeader header{memory.data(), static_cast<std::uint32_t>(memory.size()), 0, 0};

  EXPECT_EQ(device.Prepare(header), kMmInvalidHandle) << "not open";
  ASSERT_EQ(device.Open(Pcm16Mono(11025), listener), kMmSuccess);
  ASSERT_EQ(device.Prepare(header), kMmSuccess);
  ASSERT_EQ(device.AddBuffer(header), kMmSuccess);
  ASSERT_EQ(device.Start(), kMmSuccess);
  for (int waited = 0; listener.handed.empty() && waited < 20000; ++waited) {
    device.DeliverFull();
    Sleep(1);
  }
  ASSERT_EQ(listener.handed, std::vector<WaveHeader*>{&header});
  EXPECT_EQ(wakes.load(), 1);
  EXPECT_EQ(header.bytesRecorded, memory.size());
  EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), memory.begin())) << "the file, in order";
  EXPECT_TRUE(std::all_of(memory.begin() + std::ssize(recorded), memory.end(), [](std::uint8_t b) { return b == 0; }))
      << "silence past its end";
  ASSERT_EQ(device.Unprepare(header), kMmSuccess);
  ASSERT_EQ(device.Close(), kMmSuccess);

  // Closed before it is full: the buffer comes back, no longer queued, without a call.
  ASSERT_EQ(device.Open(Pcm16Mono(11025), listener), kMmSuccess);
  ASSERT_EQ(device.Prepare(header), kMmSuccess);
  ASSERT_EQ(device.AddBuffer(header), kMmSuccess);
  ASSERT_EQ(device.Close(), kMmSuccess);
  EXPECT_EQ(header.flags & kWaveHeaderInQueue, 0u);
  EXPECT_EQ(listener.handed.size(), 1u);
  std::filesystem::remove(file);
  SetEnvironmentVariableW(L"SDL_DISKAUDIOFILEIN", nullptr);
  SetEnvironmentVariableW(L"SDL_DISKAUDIODELAY", nullptr);
}

TEST(Win32WineSound, OnlyAFirstStartUnderWineThatPlaysWithoutTheUsersSettingStartsAgain) {
  struct Case {
    bool underWine, diskAudio, latencySet, wanted;
  };
  const Case cases[] = {
      {true, false, false, true},   // wine, the sound system, nothing set: start again with the setting
      {true, false, true, false},   // the user's own setting (or the one of the first start) stays
      {true, true, false, false},   // the disk device needs no sound server
      {false, false, false, false},  // Windows
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NeedsWineSoundRestart(c.underWine, c.diskAudio, c.latencySet), c.wanted)
        << c.underWine << c.diskAudio << c.latencySet;
  }
  // The tests themselves run under wine.
  EXPECT_TRUE(RunningUnderWine());
}

TEST(Win32WineSound, TheArgumentsAreHandedOnAsTheyWereGiven) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* wanted;
  };
  const Case cases[] = {
      {L"tonefield.exe", L""},
      {L"tonefield.exe --buffer 128", L"--buffer 128"},
      {L"\"C:\\Program Files\\Tonefield\\tonefield.exe\" \"音色 テスト.wav\"", L"\"音色 テスト.wav\""},
      {L"\"C:\\a b\\tonefield.exe\"--buffer 64", L"--buffer 64"},
      {L"C:\\tonefield.exe  \t --output-device \"Speakers (2)\"", L"--output-device \"Speakers (2)\""},
      {L"\"unclosed", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(ArgumentsAfterProgram(c.commandLine), std::wstring_view(c.wanted)) << Utf8(c.commandLine);
}

TEST(Win32Sound, OnlyAChangeOfTheConsoleDefaultForPlaybackCountsAndOnlyOnce) {
  DefaultDeviceWatch watch(eRender);
  struct Case {
    EDataFlow flow;
    ERole role;
    bool counts;
  };
  const Case cases[] = {
      {eRender, eConsole, true},
      {eRender, eMultimedia, false},    // reported beside the console role's own call
      {eRender, eCommunications, false},  // the voice chat device
      {eCapture, eConsole, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(watch.OnDefaultDeviceChanged(c.flow, c.role, L"{0.0.0.00000000}.{x}"), S_OK);
    EXPECT_EQ(watch.TakeChanged(), c.counts) << c.flow << " " << c.role;
    EXPECT_FALSE(watch.TakeChanged()) << "told once";
  }
  // The system takes the watch (wine's sound system too) and lets it go.
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  EXPECT_TRUE(watch.Start());
  watch.Stop();
  CoUninitialize();
}

}  // namespace
}  // namespace tonefield

// Sound under wine. Wine's PulseAudio driver asks the server for a buffer
// too short to stay filled: songs then have short gaps (measured: several
// of 3-25 ms per 26-second song, where a plain PulseAudio client at the
// same latency has none, also through WinMM with 50 ms queued). With
// PULSE_LATENCY_MSEC=60 the server keeps 60 ms and they are gone. The
// PulseAudio library reads that variable once, from the environment the
// process was started with (a Windows program started from here keeps this
// process's), so under wine the first instance starts itself once more,
// as a Unix program, with it set, unless the user has set it.
#pragma once

#include <windows.h>

#include <string_view>

namespace tonefield {

inline constexpr wchar_t kPulseLatencyVariable[] = L"PULSE_LATENCY_MSEC";
inline constexpr wchar_t kWinePulseLatency[] = L"60";

// Whether this process runs under wine rather than on Windows.
bool RunningUnderWine();

// Whether the program should start itself again with the sound setting:
// under wine, playing through the sound system, with the variable unset.
bool NeedsWineSoundRestart(bool underWine, bool diskAudio, bool latencySet);

// The arguments of a command line after the program's name, as given.
std::wstring_view ArgumentsAfterProgram(std::wstring_view commandLine);

// Starts this program again under wine's loader, with the same arguments
// and the variable set; false when it cannot be started (the caller then
// goes on by itself). Wine cannot wait for it: the caller exits at once.
bool StartAgainWithWineSoundSetting();

}  // namespace tonefield

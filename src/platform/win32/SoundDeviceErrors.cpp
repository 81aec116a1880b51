#include "platform/win32/SoundDeviceErrors.h"

#include <cstdio>

#include "platform/win32/WideText.h"

namespace tonefield {

bool IsDevicePlayableFormat(const WaveFormat& format) {
  return format.formatTag == 1 && format.channels == 1 && format.bitsPerSample == 16 &&
         format.samplesPerSec >= kMinDeviceRate && format.samplesPerSec <= kMaxDeviceRate;
}

MmResult DeviceErrorTexts::FailWith(MmResult code, const std::string& text) {
  if (code < kSlots) texts_[code] = text;
  return code;
}

MmResult DeviceErrorTexts::FailHresult(MmResult code, const std::string& what, long hresult) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(hresult));
  return FailWith(code, what + ": " + Win32ErrorText(static_cast<unsigned long>(hresult)) + " (" + hex + ")");
}

std::string DeviceErrorTexts::Text(MmResult code) const {
  if (code < kSlots && !texts_[code].empty()) return texts_[code];
  switch (code) {
    case kMmSuccess: return "The operation completed.";
    case kMmBadDeviceId: return "The sound device cannot be opened.";
    case kMmInvalidHandle: return "The sound device is not open.";
    case kMmNoDriver: return "No sound system is available.";
    case kMmNoMemory: return "The device already has a buffer.";
    case kWaveBadFormat: return "The sound device cannot play this format.";
    case kWaveStillPlaying: return "The buffer is still in use.";
    case kWaveUnprepared: return "The buffer is not prepared.";
    default: return "The sound device failed.";
  }
}

}  // namespace tonefield

#include "platform/win32/WinMmMidiInput.h"

#include <mmsystem.h>

#include <algorithm>
#include <array>

#include "common/SteadyClock.h"
#include "platform/win32/WideText.h"

namespace tonefield {

std::size_t WinMmMidiInput::MessageLength(std::uint8_t status) {
  if (status < 0x80) return 0;  // running status is resolved by WinMM
  if (status < 0xC0 || (status >= 0xE0 && status < 0xF0)) return 3;
  if (status < 0xE0) return 2;
  switch (status) {
    case 0xF2: return 3;             // song position
    case 0xF3: return 2;             // song select
    case 0xF6: case 0xFA: case 0xFB: case 0xFC: case 0xFF: return 1;
    default: return 0;               // exclusive, time code, clock, active sensing
  }
}

void CALLBACK WinMmMidiInput::OnMessage(HMIDIIN, UINT message, DWORD_PTR self, DWORD_PTR param1, DWORD_PTR) {
  if (message == MIM_DATA) reinterpret_cast<WinMmMidiInput*>(self)->Deliver(static_cast<DWORD>(param1));
}

void WinMmMidiInput::Deliver(DWORD packed) {
  const std::array<std::uint8_t, 3> bytes{static_cast<std::uint8_t>(packed & 0xFF),
                                          static_cast<std::uint8_t>((packed >> 8) & 0xFF),
                                          static_cast<std::uint8_t>((packed >> 16) & 0xFF)};
  const std::size_t length = MessageLength(bytes[0]);
  if (length == 0) return;
  const std::int64_t now = SteadyNanoseconds();
  std::lock_guard lock(deliverMutex_);
  input_.Receive(std::span<const std::uint8_t>(bytes.data(), length), now);
}

bool WinMmMidiInput::Poll() {
  std::vector<std::wstring> names;
  const UINT count = midiInGetNumDevs();
  for (UINT i = 0; i < count; ++i) {
    MIDIINCAPSW caps{};
    names.emplace_back(midiInGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR ? caps.szPname : L"");
  }
  // Devices gone are closed; those that appeared are opened.
  const std::size_t before = devices_.size();
  std::erase_if(devices_, [&names](Device& device) {
    if (std::find(names.begin(), names.end(), device.name) != names.end()) return false;
    midiInStop(device.handle);
    midiInReset(device.handle);
    midiInClose(device.handle);
    return true;
  });
  if (devices_.size() < before) Panic();  // no callback of a closed device runs any more
  for (UINT i = 0; i < names.size(); ++i) {
    const bool open = std::any_of(devices_.begin(), devices_.end(), [&](const Device& d) { return d.name == names[i]; });
    if (open) continue;
    HMIDIIN handle = nullptr;
    if (midiInOpen(&handle, i, reinterpret_cast<DWORD_PTR>(&WinMmMidiInput::OnMessage),
                   reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
      continue;  // another program may hold it; tried again at the next poll
    }
    midiInStart(handle);
    devices_.push_back(Device{handle, names[i]});
  }
  std::vector<std::string> connections;
  for (const Device& device : devices_) connections.push_back(Utf8(device.name));
  if (connections == status_.connections) return false;
  status_.connections = std::move(connections);
  return true;
}

void WinMmMidiInput::Panic() {
  // The delivery lock makes this thread the queue's producer for the moment.
  std::lock_guard lock(deliverMutex_);
  input_.ReleaseAll();
}

void WinMmMidiInput::Close() {
  for (Device& device : devices_) {
    midiInStop(device.handle);
    midiInReset(device.handle);
    midiInClose(device.handle);  // no callback runs once it returns
  }
  devices_.clear();
  status_.connections.clear();
}

}  // namespace tonefield

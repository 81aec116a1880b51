// Tells when the system's default endpoint for one direction changes (the
// user chose another one in the sound settings, or headphones plugged in
// became the default), so that a device opened as "the default" follows
// it: it is reported lost, and reopening takes the new default. The system
// calls in on a thread of its own; the answer is an atomic flag.
#pragma once

#include <mmdeviceapi.h>

#include <atomic>

namespace tonefield {

class DefaultDeviceWatch final : public IMMNotificationClient {
 public:
  explicit DefaultDeviceWatch(EDataFlow flow) : flow_(flow) {}
  ~DefaultDeviceWatch();
  DefaultDeviceWatch(const DefaultDeviceWatch&) = delete;
  DefaultDeviceWatch& operator=(const DefaultDeviceWatch&) = delete;

  // Registers with the system; false when it cannot (changes then go unseen).
  bool Start();
  // Once it returns, the system calls in no more.
  void Stop();
  // True once after each change of the default since Start.
  bool TakeChanged() { return changed_.exchange(false); }

  // IUnknown: the owner keeps the object alive while it is registered.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  // IMMNotificationClient
  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) override;
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

 private:
  EDataFlow flow_;
  IMMDeviceEnumerator* enumerator_ = nullptr;
  std::atomic<bool> changed_{false};
};

}  // namespace tonefield

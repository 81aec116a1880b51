#include "platform/win32/DefaultDeviceWatch.h"

namespace tonefield {

DefaultDeviceWatch::~DefaultDeviceWatch() { Stop(); }

bool DefaultDeviceWatch::Start() {
  if (enumerator_ != nullptr) return true;
  changed_ = false;
  if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                              reinterpret_cast<void**>(&enumerator_)))) {
    enumerator_ = nullptr;
    return false;
  }
  if (FAILED(enumerator_->RegisterEndpointNotificationCallback(this))) {
    enumerator_->Release();
    enumerator_ = nullptr;
    return false;
  }
  return true;
}

void DefaultDeviceWatch::Stop() {
  if (enumerator_ == nullptr) return;
  enumerator_->UnregisterEndpointNotificationCallback(this);
  enumerator_->Release();
  enumerator_ = nullptr;
}

HRESULT DefaultDeviceWatch::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
    *object = static_cast<IMMNotificationClient*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT DefaultDeviceWatch::OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) {
  // The console role is the one a device opened as "the default" plays on.
  if (flow == flow_ && role == eConsole) changed_ = true;
  return S_OK;
}

}  // namespace tonefield

#include "platform/win32/WasapiEndpoint.h"

#include <initguid.h>

#include <avrt.h>
#include <functiondiscoverykeys_devpkey.h>
#include <mmreg.h>

#include <algorithm>

#include "platform/win32/WideText.h"

namespace tonefield {

namespace {

template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p != nullptr) p->Release();
  }
  T** out() { return &p; }
  T* operator->() const { return p; }
};

HRESULT MakeEnumerator(IMMDeviceEnumerator** enumerator) {
  return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                          reinterpret_cast<void**>(enumerator));
}

std::string FriendlyName(IMMDevice* device) {
  Released<IPropertyStore> store;
  if (FAILED(device->OpenPropertyStore(STGM_READ, store.out()))) return {};
  PROPVARIANT value;
  PropVariantInit(&value);
  std::string name;
  if (SUCCEEDED(store->GetValue(PKEY_Device_FriendlyName, &value)) && value.vt == VT_LPWSTR) name = Utf8(value.pwszVal);
  PropVariantClear(&value);
  return name;
}

// The endpoint with this friendly name, or the default one when the name is empty.
HRESULT FindEndpoint(IMMDeviceEnumerator* enumerator, bool capture, const std::string& name, IMMDevice** device) {
  const EDataFlow flow = capture ? eCapture : eRender;
  if (name.empty()) return enumerator->GetDefaultAudioEndpoint(flow, eConsole, device);
  Released<IMMDeviceCollection> all;
  HRESULT result = enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, all.out());
  if (FAILED(result)) return result;
  UINT count = 0;
  all->GetCount(&count);
  for (UINT i = 0; i < count; ++i) {
    IMMDevice* candidate = nullptr;
    if (FAILED(all->Item(i, &candidate))) continue;
    if (FriendlyName(candidate) == name) {
      *device = candidate;
      return S_OK;
    }
    candidate->Release();
  }
  return E_NOTFOUND;
}

SampleLayout LayoutOf(const WAVEFORMATEX& mix) {
  WORD tag = mix.wFormatTag;
  if (tag == WAVE_FORMAT_EXTENSIBLE) {
    const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(mix);
    // The sub-format GUIDs of PCM and float carry the format tag in their first field.
    tag = static_cast<WORD>(extensible.SubFormat.Data1);
  }
  if (tag == WAVE_FORMAT_IEEE_FLOAT && mix.wBitsPerSample == 32) return SampleLayout::Float32;
  if (tag == WAVE_FORMAT_PCM && mix.wBitsPerSample == 16) return SampleLayout::Int16;
  return SampleLayout::Int32;
}

}  // namespace

void WasapiStream::Release() {
  if (client != nullptr) client->Release();
  client = nullptr;
  if (event != nullptr) CloseHandle(event);
  event = nullptr;
}

std::vector<std::string> ListWasapiDevices(bool capture, std::string& error) {
  std::vector<std::string> names;
  Released<IMMDeviceEnumerator> enumerator;
  HRESULT result = MakeEnumerator(enumerator.out());
  Released<IMMDeviceCollection> all;
  if (SUCCEEDED(result)) result = enumerator->EnumAudioEndpoints(capture ? eCapture : eRender, DEVICE_STATE_ACTIVE, all.out());
  if (FAILED(result)) {
    error = Win32ErrorText(static_cast<unsigned long>(result));
    return names;
  }
  UINT count = 0;
  all->GetCount(&count);
  for (UINT i = 0; i < count; ++i) {
    Released<IMMDevice> device;
    if (SUCCEEDED(all->Item(i, device.out()))) names.push_back(FriendlyName(device.p));
  }
  return names;
}

MmResult OpenWasapiStream(bool capture, const std::string& deviceName, const WaveFormat& format,
                          std::uint32_t requestFrames, WasapiStream& stream, DeviceErrorTexts& errors,
                          std::uint32_t bufferFrames) {
  stream.Release();
  if (!IsDevicePlayableFormat(format)) return errors.Fail(kWaveBadFormat);
  Released<IMMDeviceEnumerator> enumerator;
  HRESULT result = MakeEnumerator(enumerator.out());
  if (FAILED(result)) return errors.FailHresult(kMmNoDriver, "The sound system cannot be reached", result);
  Released<IMMDevice> device;
  result = FindEndpoint(enumerator.p, capture, deviceName, device.out());
  if (FAILED(result)) {
    const std::string which = deviceName.empty() ? std::string("The default sound device") : "\"" + deviceName + "\"";
    return errors.FailHresult(kMmBadDeviceId, which + " cannot be found", result);
  }
  result = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&stream.client));
  if (FAILED(result)) return errors.FailHresult(kMmBadDeviceId, "The sound device cannot be activated", result);

  const std::uint32_t asked = bufferFrames != 0 ? bufferFrames : 2 * requestFrames;
  const auto duration = static_cast<REFERENCE_TIME>(10'000'000.0 * asked / format.samplesPerSec);
  WAVEFORMATEX own{};
  own.wFormatTag = WAVE_FORMAT_PCM;
  own.nChannels = 1;
  own.nSamplesPerSec = format.samplesPerSec;
  own.wBitsPerSample = 16;
  own.nBlockAlign = 2;
  own.nAvgBytesPerSec = format.samplesPerSec * 2;
  const DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_NOPERSIST;
  result = stream.client->Initialize(AUDCLNT_SHAREMODE_SHARED,
                                     flags | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY,
                                     duration, 0, &own, nullptr);
  stream.layout = SampleLayout::Int16Mono;
  stream.channels = 1;
  if (FAILED(result)) {
    // No conversion by the engine: its own format, when the rate is ours.
    WAVEFORMATEX* mix = nullptr;
    const HRESULT mixed = stream.client->GetMixFormat(&mix);
    if (SUCCEEDED(mixed) && mix->nSamplesPerSec == format.samplesPerSec) {
      stream.layout = LayoutOf(*mix);
      stream.channels = mix->nChannels;
      stream.client->Release();
      stream.client = nullptr;
      result = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&stream.client));
      if (SUCCEEDED(result)) result = stream.client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, duration, 0, mix, nullptr);
    }
    CoTaskMemFree(mix);
  }
  if (FAILED(result)) {
    stream.Release();
    return errors.FailHresult(kWaveBadFormat, "The sound device refuses the format", result);
  }
  stream.event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  UINT32 frames = 0;
  stream.client->GetBufferSize(&frames);
  stream.bufferFrames = frames;
  result = stream.client->SetEventHandle(stream.event);
  if (FAILED(result)) {
    stream.Release();
    return errors.FailHresult(kMmBadDeviceId, "The sound device cannot signal", result);
  }
  return kMmSuccess;
}

void ConvertFromMono(const std::int16_t* mono, std::uint32_t frames, BYTE* out, const WasapiStream& stream) {
  const std::uint32_t channels = stream.channels;
  switch (stream.layout) {
    case SampleLayout::Int16Mono:
      std::copy(mono, mono + frames, reinterpret_cast<std::int16_t*>(out));
      break;
    case SampleLayout::Int16: {
      auto* samples = reinterpret_cast<std::int16_t*>(out);
      for (std::uint32_t i = 0; i < frames; ++i) std::fill_n(samples + i * channels, channels, mono[i]);
      break;
    }
    case SampleLayout::Float32: {
      auto* samples = reinterpret_cast<float*>(out);
      for (std::uint32_t i = 0; i < frames; ++i) std::fill_n(samples + i * channels, channels, mono[i] / 32768.0f);
      break;
    }
    case SampleLayout::Int32: {
      auto* samples = reinterpret_cast<std::int32_t*>(out);
      for (std::uint32_t i = 0; i < frames; ++i) {
        std::fill_n(samples + i * channels, channels, static_cast<std::int32_t>(mono[i]) * 65536);
      }
      break;
    }
  }
}

void ConvertToMono(const BYTE* in, std::uint32_t frames, std::int16_t* mono, const WasapiStream& stream) {
  const std::uint32_t channels = stream.channels;
  for (std::uint32_t i = 0; i < frames; ++i) {
    switch (stream.layout) {
      case SampleLayout::Int16Mono:
      case SampleLayout::Int16: mono[i] = reinterpret_cast<const std::int16_t*>(in)[i * channels]; break;
      case SampleLayout::Float32: {
        const float value = reinterpret_cast<const float*>(in)[i * channels] * 32768.0f;
        mono[i] = static_cast<std::int16_t>(std::clamp(value, -32768.0f, 32767.0f));
        break;
      }
      case SampleLayout::Int32: mono[i] = static_cast<std::int16_t>(reinterpret_cast<const std::int32_t*>(in)[i * channels] >> 16); break;
    }
  }
}

ProAudioThread::ProAudioThread() {
  DWORD index = 0;
  task_ = AvSetMmThreadCharacteristicsW(L"Pro Audio", &index);
}

ProAudioThread::~ProAudioThread() {
  if (task_ != nullptr) AvRevertMmThreadCharacteristics(task_);
}

}  // namespace tonefield

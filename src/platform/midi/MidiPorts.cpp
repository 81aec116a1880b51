#include "platform/midi/MidiPorts.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <span>

#include "common/SteadyClock.h"

#ifdef TONEFIELD_WITH_ALSA
#include "platform/midi/AlsaSequencer.h"
#endif
#ifdef TONEFIELD_WITH_JACK
#include <jack/jack.h>
#endif

namespace tonefield {

namespace {

RtMidi::Api ToRtMidi(MidiApi api) {
  switch (api) {
    case MidiApi::Alsa: return RtMidi::LINUX_ALSA;
    case MidiApi::Jack: return RtMidi::UNIX_JACK;
    case MidiApi::WinMM: return RtMidi::WINDOWS_MM;
    case MidiApi::Default:
    case MidiApi::None: break;
  }
  return RtMidi::UNSPECIFIED;
}

#ifdef TONEFIELD_WITH_JACK
// libjack prints why a server cannot be reached; the one line Tonefield
// prints says it instead.
void QuietJack(const char*) {}

// Asked before RtMidi is, which would print its own warning.
bool JackServerRuns() {
  jack_set_error_function(QuietJack);
  jack_set_info_function(QuietJack);
  jack_status_t status{};
  jack_client_t* client = jack_client_open(kMidiClientName, JackNoStartServer, &status);
  if (client == nullptr) return false;
  jack_client_close(client);
  return true;
}
#endif

}  // namespace

// One RtMidi input and what its error callback reported while it opened.
struct MidiPorts::Port {
  std::unique_ptr<RtMidiIn> in;
  std::string deviceName;  // WinMM: the device it opened
  std::atomic<bool> failed{false};
  std::mutex errorMutex;
  std::string error;

  static void OnError(RtMidiError::Type type, const std::string& text, void* user) {
    if (type == RtMidiError::DEBUG_WARNING) return;
    auto* port = static_cast<Port*>(user);
    std::lock_guard lock(port->errorMutex);
    if (port->error.empty()) port->error = text;
    port->failed = true;
  }
  std::string Error() {
    std::lock_guard lock(errorMutex);
    return error;
  }
};

MidiPorts::MidiPorts(MidiInput& input) : input_(input) {}

MidiPorts::~MidiPorts() { Close(); }

bool MidiPorts::Available(MidiApi api) {
  if (api == MidiApi::Default || api == MidiApi::None) return true;
  std::vector<RtMidi::Api> compiled;
  RtMidi::getCompiledApi(compiled);
  return std::find(compiled.begin(), compiled.end(), ToRtMidi(api)) != compiled.end();
}

void MidiPorts::OnMessage(double, std::vector<unsigned char>* message, void* user) {
  if (message != nullptr) static_cast<MidiPorts*>(user)->Deliver(*message);
}

void MidiPorts::Deliver(const std::vector<unsigned char>& message) {
  const std::int64_t now = SteadyNanoseconds();
  const std::span<const std::uint8_t> bytes(message.data(), message.size());
  if (serialise_) {
    std::lock_guard lock(deliverMutex_);
    input_.Receive(bytes, now);
  } else {
    input_.Receive(bytes, now);
  }
}

std::string MidiPorts::Open(MidiApi api) {
  Close();
  if (api == MidiApi::None) return {};
  if (api == MidiApi::Default) {
#if defined(_WIN32)
    api = MidiApi::WinMM;
#elif defined(__linux__)
    api = MidiApi::Alsa;
#endif
  }
  if (!Available(api)) return std::string("this build has no ") + MidiApiName(api) + " MIDI support";
  if (api == MidiApi::WinMM) {
    serialise_ = true;
    PollWinMM();
    address_ = "WinMM";
    return {};
  }
  return OpenVirtual(api);
}

std::string MidiPorts::OpenVirtual(MidiApi api) {
  std::vector<MidiPortInfo> before;
#ifdef TONEFIELD_WITH_ALSA
  if (api == MidiApi::Alsa) {
    // Checked first, so that neither alsa-lib nor RtMidi prints anything.
    alsa_ = std::make_unique<AlsaSequencer>();
    if (!alsa_->Open()) {
      std::string error = alsa_->error();
      alsa_.reset();
      return error;
    }
    before = alsa_->Ports();
  }
#endif
#ifdef TONEFIELD_WITH_JACK
  if (api == MidiApi::Jack && !JackServerRuns()) return "no JACK server is running";
#endif
  auto port = std::make_unique<Port>();
  try {
    port->in = std::make_unique<RtMidiIn>(ToRtMidi(api), kMidiClientName);
    port->in->setErrorCallback(&Port::OnError, port.get());
    port->in->setCallback(&MidiPorts::OnMessage, this);
    port->in->ignoreTypes(true, true, true);  // system exclusive, clock and timing, active sensing
    port->in->openVirtualPort(kMidiPortName);
  } catch (const RtMidiError& error) {
    port->failed = true;
    std::lock_guard lock(port->errorMutex);
    port->error = error.getMessage();
  }
  if (port->failed) {
    const std::string why = port->Error();
    port.reset();
    alsa_.reset();
    return std::string("the ") + MidiApiName(api) + " MIDI port cannot be opened (" + why + ")";
  }
  inputs_.push_back(std::move(port));
  address_ = std::string(kMidiClientName) + ":" + kMidiPortName;
#ifdef TONEFIELD_WITH_ALSA
  if (alsa_ != nullptr) {
    ownAddress_ = alsa_->FindOwnPort(kMidiClientName, kMidiPortName, before);
    if (ownAddress_.client >= 0) {
      address_ = std::to_string(ownAddress_.client) + ":" + std::to_string(ownAddress_.port);
      PollAlsa();
    } else {
      alsa_.reset();  // the port works; controllers are connected by hand
    }
  }
#endif
  return {};
}

void MidiPorts::Poll() {
  if (alsa_ != nullptr) PollAlsa();
  if (serialise_) PollWinMM();
}

void MidiPorts::PollAlsa() {
#ifdef TONEFIELD_WITH_ALSA
  const std::vector<MidiPortAddress> announced = alsa_->Announced();
  for (const MidiPortAddress& sender : watch_.Update(alsa_->Ports(), announced, ownAddress_)) {
    (void)alsa_->Connect(sender, ownAddress_);  // one that cannot be connected is left alone
  }
#endif
}

void MidiPorts::PollWinMM() {
#ifdef _WIN32
  std::vector<std::string> names;
  try {
    RtMidiIn probe(RtMidi::WINDOWS_MM, kMidiClientName);
    const unsigned count = probe.getPortCount();
    for (unsigned i = 0; i < count; ++i) names.push_back(probe.getPortName(i));
  } catch (const RtMidiError&) {
    return;
  }
  // Devices gone are closed; those that appeared are opened.
  std::erase_if(inputs_, [&names](const std::unique_ptr<Port>& port) {
    return std::find(names.begin(), names.end(), port->deviceName) == names.end();
  });
  for (unsigned i = 0; i < names.size(); ++i) {
    const bool open = std::any_of(inputs_.begin(), inputs_.end(),
                                  [&](const std::unique_ptr<Port>& port) { return port->deviceName == names[i]; });
    if (open) continue;
    auto port = std::make_unique<Port>();
    port->deviceName = names[i];
    try {
      port->in = std::make_unique<RtMidiIn>(RtMidi::WINDOWS_MM, kMidiClientName);
      port->in->setErrorCallback(&Port::OnError, port.get());
      port->in->setCallback(&MidiPorts::OnMessage, this);
      port->in->ignoreTypes(true, true, true);
      port->in->openPort(i, kMidiPortName);
    } catch (const RtMidiError&) {
      continue;
    }
    if (!port->failed) inputs_.push_back(std::move(port));
  }
#endif
}

void MidiPorts::Close() {
  // Each input's destructor stops its thread (or leaves the JACK graph)
  // before it returns.
  inputs_.clear();
  alsa_.reset();
  ownAddress_ = {};
  watch_ = HardwareInputWatch();
  address_.clear();
  serialise_ = false;
}

}  // namespace tonefield

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
#include "platform/midi/JackMidiPort.h"
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

const char* SystemName(MidiApi api) {
  switch (api) {
    case MidiApi::Alsa: return "ALSA";
    case MidiApi::Jack: return "JACK";
    case MidiApi::WinMM: return "WinMM";
    case MidiApi::Default:
    case MidiApi::None: break;
  }
  return "";
}

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
#ifdef TONEFIELD_WITH_JACK
  if (api == MidiApi::Jack) return true;
#endif
  if (api == MidiApi::Jack) return false;  // only through libjack itself
  std::vector<RtMidi::Api> compiled;
  RtMidi::getCompiledApi(compiled);
  return std::find(compiled.begin(), compiled.end(), ToRtMidi(api)) != compiled.end();
}

void MidiPorts::OnMessage(double, std::vector<unsigned char>* message, void* user) {
  if (message != nullptr) static_cast<MidiPorts*>(user)->Deliver(*message);
}

void MidiPorts::Deliver(const std::vector<unsigned char>& message) {
  const std::int64_t now = SteadyNanoseconds();
  std::lock_guard lock(deliverMutex_);
  input_.Receive(std::span<const std::uint8_t>(message.data(), message.size()), now);
}

void MidiPorts::SendWaiting() {
  if (jack_ || !input_.HasWaiting()) return;
  std::lock_guard lock(deliverMutex_);
  input_.SendWaiting();
}

std::string MidiPorts::Open(MidiApi api, bool autoConnect) {
  Close();
  autoConnect_ = autoConnect;
  status_ = {};
  if (api == MidiApi::None) return {};
  if (api == MidiApi::Default) {
#if defined(_WIN32)
    api = MidiApi::WinMM;
#elif defined(__linux__)
    api = MidiApi::Alsa;
#endif
  }
  status_.system = SystemName(api);
  if (!Available(api)) {
    status_.reason = MidiOffReason::NotInThisBuild;
    status_.detail = status_.system;
    return std::string("this build has no ") + MidiApiName(api) + " MIDI support";
  }
  if (api == MidiApi::Jack) return OpenJack();
  if (api == MidiApi::WinMM) {
    winmm_ = true;
    PollWinMM();
    status_.state = MidiState::Open;
    status_.address = "WinMM";
    return {};
  }
  return OpenVirtual(api);
}

std::string MidiPorts::OpenJack() {
#ifdef TONEFIELD_WITH_JACK
  jack_ = std::make_unique<JackMidiPort>(input_);
  const std::string why = jack_->Open(kMidiClientName, kMidiPortName);
  if (!why.empty()) {
    // Looked for again at every Poll: a server started later is found.
    const bool noServer = !jack_->IsOpen() && !JackMidiPort::ServerRuns(kMidiClientName);
    status_.state = noServer ? MidiState::Waiting : MidiState::Off;
    status_.reason = noServer ? MidiOffReason::NoServer : MidiOffReason::PortFailed;
    status_.detail = why;
    if (!noServer) jack_.reset();
    return why;
  }
  status_.state = MidiState::Open;
  status_.address = jack_->Name();
  PollJack();
#endif
  return {};
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
      status_.reason = MidiOffReason::NoSequencer;
      status_.detail = error;
      return error;
    }
    before = alsa_->Ports();
  }
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
    status_.reason = MidiOffReason::PortFailed;
    status_.detail = why;
    return std::string("the ") + MidiApiName(api) + " MIDI port cannot be opened (" + why + ")";
  }
  inputs_.push_back(std::move(port));
  status_.state = MidiState::Open;
  status_.address = std::string(kMidiClientName) + ":" + kMidiPortName;
#ifdef TONEFIELD_WITH_ALSA
  if (alsa_ != nullptr) {
    ownAddress_ = alsa_->FindOwnPort(kMidiClientName, kMidiPortName, before);
    if (ownAddress_.client >= 0) {
      status_.address = std::to_string(ownAddress_.client) + ":" + std::to_string(ownAddress_.port);
      PollAlsa();
    } else {
      alsa_.reset();  // the port works; controllers are connected by hand
    }
  }
#endif
  return {};
}

bool MidiPorts::Poll() {
  const MidiStatus before = status_;
  if (jack_ != nullptr) PollJack();
  if (alsa_ != nullptr) PollAlsa();
  if (winmm_) PollWinMM();
  return !(status_ == before);
}

bool MidiPorts::PollJack() {
#ifdef TONEFIELD_WITH_JACK
  if (jack_->IsOpen() && jack_->Lost()) {
    // Its thread is gone with the server: this thread may produce now.
    jack_->Close();
    input_.ReleaseAll();
    status_.state = MidiState::Lost;
    status_.connections.clear();
    return true;
  }
  if (!jack_->IsOpen()) {
    if (!jack_->Open(kMidiClientName, kMidiPortName).empty()) return false;
    watch_ = HardwareInputWatch();  // a new server: every device is new
    jackChangesSeen_ = 0;
    status_.state = MidiState::Open;
    status_.address = jack_->Name();
  }
  const std::vector<std::string> appeared = watch_.UpdateByName(jack_->PhysicalOutputs());
  if (autoConnect_) {
    for (const std::string& source : appeared) (void)jack_->ConnectFrom(source);
  }
  const std::uint64_t changes = jack_->ConnectionChanges();
  if (changes != jackChangesSeen_ || status_.connections.empty()) {
    jackChangesSeen_ = changes;
    status_.connections = jack_->Connections();
  }
#endif
  return true;
}

bool MidiPorts::PollAlsa() {
#ifdef TONEFIELD_WITH_ALSA
  const std::vector<MidiPortAddress> announced = alsa_->Announced();
  const std::vector<MidiPortInfo> ports = alsa_->Ports();
  const std::vector<MidiPortAddress> appeared = watch_.Update(ports, announced, ownAddress_);
  if (autoConnect_) {
    for (const MidiPortAddress& sender : appeared) {
      (void)alsa_->Connect(sender, ownAddress_);  // one that cannot be connected is left alone
    }
  }
  std::vector<std::string> senders = alsa_->Senders(ownAddress_);
  // The last sender gone: notes it had down would never be released.
  if (senders.empty() && !status_.connections.empty()) ReleaseFromGui();
  status_.connections = std::move(senders);
#endif
  return true;
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
  const std::size_t before = inputs_.size();
  std::erase_if(inputs_, [&names](const std::unique_ptr<Port>& port) {
    return std::find(names.begin(), names.end(), port->deviceName) == names.end();
  });
  if (inputs_.size() < before) ReleaseFromGui();  // a device unplugged with keys down
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
  status_.connections.clear();
  for (const auto& port : inputs_) status_.connections.push_back(port->deviceName);
#endif
}

void MidiPorts::ReleaseFromGui() {
  std::lock_guard lock(deliverMutex_);
  input_.ReleaseAll();
}

void MidiPorts::Panic() {
#ifdef TONEFIELD_WITH_JACK
  if (jack_ != nullptr && jack_->IsOpen() && !jack_->Lost()) {
    input_.RequestRelease();  // JACK's thread releases at its next cycle
    return;
  }
#endif
  ReleaseFromGui();
}

bool MidiPorts::IsOpen() const {
#ifdef TONEFIELD_WITH_JACK
  if (jack_ != nullptr) return jack_->IsOpen() && !jack_->Lost();
#endif
  return !inputs_.empty();
}

bool MidiPorts::Watching() const { return alsa_ != nullptr || jack_ != nullptr || winmm_; }

void MidiPorts::Close() {
  // Each input's destructor stops its thread (or leaves the JACK graph)
  // before it returns.
  inputs_.clear();
  jack_.reset();
  alsa_.reset();
  ownAddress_ = {};
  watch_ = HardwareInputWatch();
  status_ = {};
  winmm_ = false;
  jackChangesSeen_ = 0;
}

}  // namespace tonefield

#include "platform/midi/AlsaSequencer.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tonefield {

namespace {

// alsa-lib prints its errors on standard error unless given a handler.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

AlsaSequencer::~AlsaSequencer() {
  if (seq_ != nullptr) snd_seq_close(seq_);
}

bool AlsaSequencer::Open() {
  snd_lib_error_set_handler(Quiet);
  if (const int err = snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK); err < 0) {
    seq_ = nullptr;
    error_ = std::string("the ALSA sequencer cannot be opened (") + snd_strerror(err) + ")";
    return false;
  }
  snd_seq_set_client_name(seq_, "Tonefield connections");
  // A hidden port that hears the system's announcements.
  announcePort_ = snd_seq_create_simple_port(seq_, "announcements",
                                             SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                             SND_SEQ_PORT_TYPE_APPLICATION);
  if (announcePort_ >= 0 &&
      snd_seq_connect_from(seq_, announcePort_, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0) {
    announcePort_ = -1;  // the ports are still listed every time
  }
  return true;
}

std::vector<MidiPortInfo> AlsaSequencer::Ports() {
  std::vector<MidiPortInfo> ports;
  if (seq_ == nullptr) return ports;
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq_, client) >= 0) {
    const int id = snd_seq_client_info_get_client(client);
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq_, port) >= 0) {
      const unsigned caps = snd_seq_port_info_get_capability(port);
      const unsigned type = snd_seq_port_info_get_type(port);
      MidiPortInfo info;
      info.address = {id, snd_seq_port_info_get_port(port)};
      info.name = std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(port);
      info.hardware = (type & SND_SEQ_PORT_TYPE_HARDWARE) != 0;
      info.readable = (caps & (SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ)) ==
                          (SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ) &&
                      (caps & SND_SEQ_PORT_CAP_NO_EXPORT) == 0;
      ports.push_back(std::move(info));
    }
  }
  return ports;
}

std::vector<MidiPortAddress> AlsaSequencer::Announced() {
  std::vector<MidiPortAddress> started;
  if (seq_ == nullptr || announcePort_ < 0) return started;
  snd_seq_event_t* event = nullptr;
  while (snd_seq_event_input(seq_, &event) >= 0 && event != nullptr) {
    if (event->type == SND_SEQ_EVENT_PORT_START) started.push_back({event->data.addr.client, event->data.addr.port});
    event = nullptr;
  }
  return started;
}

MidiPortAddress AlsaSequencer::FindOwnPort(const std::string& client, const std::string& port,
                                           const std::vector<MidiPortInfo>& before) {
  if (seq_ == nullptr) return {};
  const std::string name = client + ":" + port;
  std::vector<MidiPortAddress> mine;
  std::vector<MidiPortAddress> fresh;
  snd_seq_client_info_t* info = nullptr;
  snd_seq_client_info_alloca(&info);
  for (const MidiPortInfo& p : Ports()) {
    if (p.name != name) continue;
    if (snd_seq_get_any_client_info(seq_, p.address.client, info) >= 0 &&
        snd_seq_client_info_get_pid(info) == static_cast<int>(::getpid())) {
      mine.push_back(p.address);
    }
    const bool old = std::any_of(before.begin(), before.end(),
                                 [&p](const MidiPortInfo& b) { return b.address == p.address && b.name == p.name; });
    if (!old) fresh.push_back(p.address);
  }
  if (mine.size() == 1) return mine.front();
  if (mine.empty() && fresh.size() == 1) return fresh.front();
  return {};
}

bool AlsaSequencer::Connect(MidiPortAddress sender, MidiPortAddress destination) {
  if (seq_ == nullptr) return false;
  snd_seq_port_subscribe_t* subscription = nullptr;
  snd_seq_port_subscribe_alloca(&subscription);
  const snd_seq_addr_t from{static_cast<unsigned char>(sender.client), static_cast<unsigned char>(sender.port)};
  const snd_seq_addr_t to{static_cast<unsigned char>(destination.client),
                          static_cast<unsigned char>(destination.port)};
  snd_seq_port_subscribe_set_sender(subscription, &from);
  snd_seq_port_subscribe_set_dest(subscription, &to);
  const int err = snd_seq_subscribe_port(seq_, subscription);
  return err >= 0 || err == -EBUSY;
}

std::vector<std::string> AlsaSequencer::Senders(MidiPortAddress port) {
  std::vector<std::string> names;
  if (seq_ == nullptr || port.client < 0) return names;
  snd_seq_query_subscribe_t* query = nullptr;
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* info = nullptr;
  snd_seq_query_subscribe_alloca(&query);
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&info);
  const snd_seq_addr_t root{static_cast<unsigned char>(port.client), static_cast<unsigned char>(port.port)};
  snd_seq_query_subscribe_set_root(query, &root);
  snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_WRITE);  // those that write to the port
  snd_seq_query_subscribe_set_index(query, 0);
  while (snd_seq_query_port_subscribers(seq_, query) >= 0) {
    const snd_seq_addr_t* sender = snd_seq_query_subscribe_get_addr(query);
    std::string name = std::to_string(sender->client) + ":" + std::to_string(sender->port);
    if (snd_seq_get_any_client_info(seq_, sender->client, client) >= 0 &&
        snd_seq_get_any_port_info(seq_, sender->client, sender->port, info) >= 0) {
      name = std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(info);
    }
    names.push_back(std::move(name));
    snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
  }
  return names;
}

}  // namespace tonefield

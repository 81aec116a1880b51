#include "midi/SmfReader.h"

#include <glib.h>
#include <smf.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace tonefield {

namespace {

constexpr std::size_t kHeaderBytes = 14;
constexpr std::int64_t kMaxPulses = std::int64_t{1} << 40;
constexpr const char* kTooLong = "MIDI ファイルの曲が長すぎます（2 時間まで）。";

std::uint32_t Big32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint16_t Big16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

MidiFileResult Refuse(std::string message) {
  MidiFileResult result;
  result.message = std::move(message);
  return result;
}

// A variable-length number of at most four bytes at `at`, within end.
bool ReadVarLen(std::span<const std::uint8_t> track, std::size_t& at, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= track.size()) return false;
    const std::uint8_t b = track[at++];
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return true;
  }
  return false;
}

// Every event of one track chunk's data, as the file format has them:
// libsmf trusts what it reads (it stops the program on some malformed
// events, such as a running status after a system exclusive message), so
// nothing it has not been shown to handle reaches it. Running status holds
// for channel messages only; meta events and system exclusive cancel it.
// Returns why the track cannot be read, or an empty string.
std::string CheckTrack(std::span<const std::uint8_t> track) {
  const std::string broken = "MIDI ファイルが壊れています。";
  std::size_t at = 0;
  std::uint8_t running = 0;
  std::int64_t pulses = 0;
  while (at < track.size()) {
    std::uint32_t delta = 0;
    if (!ReadVarLen(track, at, delta) || at >= track.size()) return broken;
    // libsmf counts a track's time in an int and stops the program when it
    // overflows; a song that long is far past what is played anyway.
    pulses += delta;
    if (pulses > std::numeric_limits<std::int32_t>::max()) return kTooLong;
    std::uint8_t status = track[at];
    if (status < 0x80) {
      if (running == 0) return broken;
      status = running;
    } else {
      ++at;
    }
    if (status == 0xFF) {
      if (at >= track.size()) return broken;
      const std::uint8_t type = track[at++];
      if (type >= 0x80 || at >= track.size()) return broken;
      // libsmf reads a meta event's length as one byte.
      if (track[at] >= 0x80) return "MIDI ファイルのメタイベントが長すぎます（127 バイトまで）。";
      const std::uint32_t length = track[at++];
      if (length > track.size() - at) return broken;
      at += length;
      running = 0;
      if (type == 0x2F) return {};  // the end of the track; anything after it is ignored
    } else if (status == 0xF7) {
      // An escape or a system exclusive continuation: libsmf stops the
      // program on it.
      return "MIDI ファイルのエスケープ（F7）イベントは読めません。";
    } else if (status == 0xF0) {
      std::uint32_t length = 0;
      if (!ReadVarLen(track, at, length) || length > track.size() - at) return broken;
      at += length;
      running = 0;
    } else if (status >= 0xF0) {
      return broken;  // system common and real-time messages have no place in a file
    } else {
      const std::size_t dataBytes = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
      if (dataBytes > track.size() - at) return broken;
      for (std::size_t i = 0; i < dataBytes; ++i) {
        if (track[at + i] >= 0x80) return broken;
      }
      at += dataBytes;
      running = status;
    }
  }
  return broken;  // no end-of-track event: libsmf would read past the chunk
}

// The header and every chunk's length, before libsmf sees the bytes.
std::string CheckFraming(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMidiFileMaxBytes) return "MIDI ファイルが大きすぎます（2 MiB まで）。";
  if (bytes.size() < kHeaderBytes || !std::equal(bytes.begin(), bytes.begin() + 4, "MThd")) {
    return "MIDI ファイルではありません。";
  }
  const std::uint32_t headerLength = Big32(&bytes[4]);
  // Longer headers are allowed by the format but refused by libsmf.
  if (headerLength != 6) return "MIDI ファイルの見出しが壊れています。";
  const int format = Big16(&bytes[8]);
  const int tracks = Big16(&bytes[10]);
  const int division = Big16(&bytes[12]);
  if (format > 1) return "形式 " + std::to_string(format) + " の MIDI ファイルは再生できません（形式 0 と 1 のみ）。";
  if ((division & 0x8000) != 0) return "SMPTE 時刻の MIDI ファイルは再生できません。";
  if (division == 0 || tracks == 0) return "MIDI ファイルの見出しが壊れています。";
  if (format == 0 && tracks != 1) return "MIDI ファイルの見出しが壊れています。";
  std::size_t at = 8 + headerLength;
  int found = 0;
  while (at < bytes.size() && found < tracks) {
    if (bytes.size() - at < 8) return "MIDI ファイルが途中で切れています。";
    const std::uint32_t length = Big32(&bytes[at + 4]);
    if (length > bytes.size() - at - 8) return "MIDI ファイルが途中で切れています。";
    if (std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                   "MTrk")) {
      if (std::string why = CheckTrack(bytes.subspan(at + 8, length)); !why.empty()) return why;
      ++found;
    }
    at += 8 + length;
  }
  if (found < tracks) return "MIDI ファイルのトラックが足りません。";
  return {};
}

// libsmf reports its errors through GLib's log; the message shown is ours.
void QuietLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

struct SmfDeleter {
  void operator()(smf_t* smf) const { smf_delete(smf); }
};

// A meta event's data, after its variable-length count; empty when it does
// not fit in the event.
std::span<const std::uint8_t> MetaData(const smf_event_t* event) {
  const auto* buffer = event->midi_buffer;
  const auto size = static_cast<std::size_t>(event->midi_buffer_length);
  std::size_t at = 2;
  std::uint32_t length = 0;
  for (int i = 0; i < 4 && at < size; ++i) {
    const std::uint8_t b = buffer[at++];
    length = (length << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) {
      if (length > size - at) return {};
      return {buffer + at, length};
    }
  }
  return {};
}

// A track name as text: kept when it is printable UTF-8, cut to the song
// list's length.
std::string NameFrom(std::span<const std::uint8_t> text) {
  std::string name(text.begin(), text.end());
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
  if (!g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr)) return {};
  if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) return {};
  if (g_utf8_strlen(name.data(), static_cast<gssize>(name.size())) > 64) {
    const gchar* end = g_utf8_offset_to_pointer(name.data(), 64);
    name.resize(static_cast<std::size_t>(end - name.data()));
  }
  return name;
}

}  // namespace

bool MidiFilesReadable() { return true; }

MidiFileResult ReadMidiFile(std::span<const std::uint8_t> bytes) {
  if (std::string why = CheckFraming(bytes); !why.empty()) return Refuse(std::move(why));
  static const guint handler = g_log_set_handler(
      "libsmf", static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION), QuietLog,
      nullptr);
  (void)handler;
  const std::unique_ptr<smf_t, SmfDeleter> smf(smf_load_from_memory(bytes.data(), static_cast<int>(bytes.size())));
  if (smf == nullptr) return Refuse("MIDI ファイルが壊れています。");

  MidiFileResult result;
  MidiFileData& data = result.data;
  data.format = smf->format;
  data.pulsesPerQuarter = smf->ppqn;
  if (data.pulsesPerQuarter <= 0) return Refuse("MIDI ファイルの見出しが壊れています。");
  for (int t = 1; t <= smf->number_of_tracks; ++t) {
    smf_track_t* track = smf_get_track_by_number(smf.get(), t);
    if (track == nullptr) return Refuse("MIDI ファイルが壊れています。");
    std::int64_t pulse = 0;
    for (int i = 1; i <= track->number_of_events; ++i) {
      const smf_event_t* event = smf_track_get_event_by_number(track, i);
      if (event == nullptr || event->delta_time_pulses < 0) return Refuse("MIDI ファイルが壊れています。");
      pulse += event->delta_time_pulses;
      if (pulse > kMaxPulses) return Refuse(kTooLong);
      if (event->midi_buffer == nullptr || event->midi_buffer_length < 1) continue;
      const std::uint8_t status = event->midi_buffer[0];
      if (status == 0xFF && event->midi_buffer_length >= 2) {
        const std::uint8_t type = event->midi_buffer[1];
        const std::span<const std::uint8_t> meta = MetaData(event);
        if (type == 0x51 && meta.size() == 3) {
          const std::int32_t tempo = (meta[0] << 16) | (meta[1] << 8) | meta[2];
          if (tempo > 0) data.tempos.push_back({pulse, tempo});
        } else if (type == 0x03 && data.name.empty() && !meta.empty()) {
          data.name = NameFrom(meta);
        }
        continue;
      }
      const std::uint8_t kind = status & 0xF0;
      if ((kind == 0x80 || kind == 0x90 || kind == 0xB0) && event->midi_buffer_length >= 3 &&
          event->midi_buffer[1] < 0x80 && event->midi_buffer[2] < 0x80) {
        data.messages.push_back({pulse, {status, event->midi_buffer[1], event->midi_buffer[2]}});
      }
    }
    data.endPulse = std::max(data.endPulse, pulse);
  }
  // In time; at one pulse, by track and then as the track has them.
  std::stable_sort(data.messages.begin(), data.messages.end(),
                   [](const MidiFileMessage& a, const MidiFileMessage& b) { return a.pulse < b.pulse; });
  std::stable_sort(data.tempos.begin(), data.tempos.end(),
                   [](const MidiTempoChange& a, const MidiTempoChange& b) { return a.pulse < b.pulse; });
  // The length in seconds, in floating point first: the exact sums below
  // stay within 64 bits for songs up to the limit.
  double seconds = 0;
  std::int64_t from = 0;
  double tempo = kMidiDefaultMicrosecondsPerQuarter;
  for (const MidiTempoChange& change : data.tempos) {
    seconds += static_cast<double>(change.pulse - from) * tempo / data.pulsesPerQuarter / 1e6;
    from = change.pulse;
    tempo = change.microsecondsPerQuarter;
  }
  seconds += static_cast<double>(data.endPulse - from) * tempo / data.pulsesPerQuarter / 1e6;
  if (seconds > static_cast<double>(kMidiFileMaxSeconds)) return Refuse(kTooLong);
  result.ok = true;
  return result;
}

}  // namespace tonefield

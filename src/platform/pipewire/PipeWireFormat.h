// The one sample format the program's PipeWire streams use: 16-bit mono at
// a given rate (PipeWire converts to and from the graph's).
#pragma once

#include <spa/param/audio/format-utils.h>

#include <cstdint>

namespace tonefield {

// Built into builder's memory, which must outlive the pod.
inline const spa_pod* BuildMono16Format(spa_pod_builder& builder, std::uint32_t rate) {
  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_S16;
  info.channels = 1;
  info.rate = rate;
  info.position[0] = SPA_AUDIO_CHANNEL_MONO;
  return spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info);
}

}  // namespace tonefield

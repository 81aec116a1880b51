#include "platform/sdl/PulseServer.h"

#include <cstdlib>
#include <cstring>

#if defined(TONEFIELD_WITH_PULSE)
#include <pulse/pulseaudio.h>
#endif

namespace tonefield {

bool SdlWouldUsePulse() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  if (driver == nullptr || *driver == '\0') return true;
  // SDL takes a comma-separated list and tries each in turn.
  const std::string list = driver;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t end = std::min(list.find(',', start), list.size());
    const std::string one = list.substr(start, end - start);
    if (one == "pulseaudio" || one == "pulse") return true;
    start = end + 1;
  }
  return false;
}

#if defined(TONEFIELD_WITH_PULSE)
namespace {

struct Query {
  PulseServerView view;
  int pending = 0;
  bool failed = false;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* data) {
  auto* query = static_cast<Query*>(data);
  if (info != nullptr) {
    query->view.serverName = info->server_name != nullptr ? info->server_name : "";
    if (info->server_version != nullptr) query->view.serverName += std::string(" ") + info->server_version;
    query->view.hasDefaultSink = info->default_sink_name != nullptr && *info->default_sink_name != '\0';
    query->view.hasDefaultSource = info->default_source_name != nullptr && *info->default_source_name != '\0';
  }
  --query->pending;
}

void OnSink(pa_context*, const pa_sink_info* info, int eol, void* data) {
  auto* query = static_cast<Query*>(data);
  if (eol != 0) {
    --query->pending;
    return;
  }
  if (info != nullptr && info->name != nullptr) {
    query->view.sinks.push_back({info->name, info->description != nullptr ? info->description : ""});
  }
}

void OnSource(pa_context*, const pa_source_info* info, int eol, void* data) {
  auto* query = static_cast<Query*>(data);
  if (eol != 0) {
    --query->pending;
    return;
  }
  if (info != nullptr && info->name != nullptr) {
    query->view.sources.push_back({info->name, info->description != nullptr ? info->description : ""});
  }
}

}  // namespace

PulseServerView AskPulseServer(std::chrono::milliseconds limit) {
  Query query;
  pa_mainloop* loop = pa_mainloop_new();
  if (loop == nullptr) return {};
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Tonefield");
  const auto until = std::chrono::steady_clock::now() + limit;
  bool asked = false;
  if (context != nullptr && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    while (std::chrono::steady_clock::now() < until) {
      const pa_context_state_t state = pa_context_get_state(context);
      if (!PA_CONTEXT_IS_GOOD(state)) {
        query.failed = true;
        break;
      }
      if (state == PA_CONTEXT_READY && !asked) {
        asked = true;
        query.pending = 3;
        pa_operation_unref(pa_context_get_server_info(context, OnServerInfo, &query));
        pa_operation_unref(pa_context_get_sink_info_list(context, OnSink, &query));
        pa_operation_unref(pa_context_get_source_info_list(context, OnSource, &query));
      }
      if (asked && query.pending == 0) {
        query.view.answered = true;
        break;
      }
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - std::chrono::steady_clock::now());
      if (pa_mainloop_prepare(loop, static_cast<int>(std::max<std::int64_t>(left.count(), 0))) < 0 ||
          pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0) {
        query.failed = true;
        break;
      }
    }
  }
  if (context != nullptr) {
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
  pa_mainloop_free(loop);
  if (!query.view.answered) return {};
  return query.view;
}

#else

PulseServerView AskPulseServer(std::chrono::milliseconds) { return {}; }

#endif

}  // namespace tonefield

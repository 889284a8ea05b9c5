#include "platform/pulse/PulseSources.h"

#include <pulse/context.h>
#include <pulse/introspect.h>

namespace sonarel::pulse {
namespace {

// Runs one query to its end, or cancels it when the server does not answer in time.
bool finish(PulseConnection& pulse, pa_operation* operation) {
    if (operation == nullptr) {
        return false;
    }
    const bool done = pulse.waitUntil(
        [operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; },
        PulseConnection::kAnswerTimeout);
    if (!done) {
        pa_operation_cancel(operation);
    }
    pa_operation_unref(operation);
    return done;
}

struct SourceQuery {
    PulseConnection& pulse;
    FoundSource source;
};

struct ListQuery {
    PulseConnection& pulse;
    std::vector<AudioSource> sources;
};

std::string defaultSourceName(PulseConnection& pulse, pa_context* context) {
    SourceQuery query{pulse, {}};
    finish(pulse, pa_context_get_server_info(
                      context,
                      [](pa_context*, const pa_server_info* info, void* data) {
                          auto* query = static_cast<SourceQuery*>(data);
                          if (info != nullptr && info->default_source_name != nullptr) {
                              query->source.name = info->default_source_name;
                          }
                          query->pulse.wake();
                      },
                      &query));
    return query.source.name;
}

}  // namespace

FoundSource findSource(PulseConnection& pulse, pa_context* context, const std::string& name) {
    SourceQuery query{pulse, {}};
    query.source.name = name.empty() ? defaultSourceName(pulse, context) : name;
    if (query.source.name.empty()) {
        return query.source;
    }
    finish(pulse, pa_context_get_source_info_by_name(
                      context, query.source.name.c_str(),
                      [](pa_context*, const pa_source_info* info, int, void* data) {
                          auto* query = static_cast<SourceQuery*>(data);
                          if (info != nullptr) {
                              query->source.found = pa_sample_spec_valid(&info->sample_spec) != 0;
                              query->source.spec = info->sample_spec;
                              query->source.map = info->channel_map;
                          }
                          query->pulse.wake();
                      },
                      &query));
    return query.source;
}

std::vector<AudioSource> listSources(PulseConnection& pulse, pa_context* context) {
    ListQuery query{pulse, {}};
    finish(pulse,
           pa_context_get_source_info_list(
               context,
               [](pa_context*, const pa_source_info* info, int last, void* data) {
                   auto* query = static_cast<ListQuery*>(data);
                   if (last == 0 && info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) {
                       const char* description =
                           info->description != nullptr ? info->description : info->name;
                       query->sources.push_back(
                           {QString::fromUtf8(info->name), QString::fromUtf8(description)});
                   }
                   if (last != 0) {
                       query->pulse.wake();
                   }
               },
               &query));
    return query.sources;
}

}  // namespace sonarel::pulse

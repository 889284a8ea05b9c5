#pragma once

#include "platform/AudioInput.h"
#include "platform/pulse/PulseConnection.h"

#include <pulse/channelmap.h>
#include <pulse/sample.h>

#include <string>
#include <vector>

namespace sonarel::pulse {

// A source found on the server, with the format it records in.
struct FoundSource {
    std::string name;
    bool found = false;
    pa_sample_spec spec{};
    pa_channel_map map{};
};

// With the connection's lock held: the source called `name`, or the server's default source when
// `name` is empty. Not found when the server does not answer or has no such source.
FoundSource findSource(PulseConnection& pulse, pa_context* context, const std::string& name);

// With the connection's lock held: the sources that record from a device or a program, in the
// server's order; the outputs' monitors are left out, since nobody dictates into them.
std::vector<AudioSource> listSources(PulseConnection& pulse, pa_context* context);

}  // namespace sonarel::pulse

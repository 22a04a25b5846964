#pragma once

#include "app/platform/AudioEndpoints.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace quellwave::platform {

// What the sound server tells about one output (sink).
struct SinkFacts {
    std::string name;
    std::uint32_t sampleRate = 0;
    std::uint16_t channels = 0;
    std::string deviceClass;   // "sound" for a card, "filter" for an effects sink, ...
    std::string formFactor;    // "headphone", "speaker", ... or empty
    std::string masterDevice;  // the sink an effects sink feeds, or empty
    std::optional<int> alsaCard;
    std::optional<int> alsaDevice;

    struct Port {
        std::uint32_t type = 0;  // the server's port type number, 0 = unknown
        bool unplugged = false;
    };
    std::optional<Port> activePort;
};

// Effects sinks (filters placed in front of another output) count as enhancements switched on.
bool hasEffects(const SinkFacts& sink);

// An output device that is active: not an effects sink (which is no device of its own but a
// stage in front of one) and not with its active port known to be unplugged.
bool isActiveOutput(const SinkFacts& sink);

// The endpoint form factor of an output: from its active port's type where that is known,
// else from its form-factor property, else UnknownFormFactor.
FormFactor formFactorOf(const SinkFacts& sink);

}  // namespace quellwave::platform

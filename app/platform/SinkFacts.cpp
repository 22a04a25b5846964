#include "app/platform/SinkFacts.hpp"

#include <pulse/def.h>

#include <array>
#include <string_view>
#include <utility>

namespace quellwave::platform {
namespace {

std::optional<FormFactor> fromPortType(std::uint32_t type) {
    switch (type) {
    case PA_DEVICE_PORT_TYPE_HEADPHONES: return FormFactor::Headphones;
    case PA_DEVICE_PORT_TYPE_HEADSET:
    case PA_DEVICE_PORT_TYPE_HANDSFREE: return FormFactor::Headset;
    case PA_DEVICE_PORT_TYPE_SPEAKER: return FormFactor::Speakers;
    case PA_DEVICE_PORT_TYPE_LINE:
    case PA_DEVICE_PORT_TYPE_ANALOG:
    case PA_DEVICE_PORT_TYPE_AUX: return FormFactor::LineLevel;
    case PA_DEVICE_PORT_TYPE_HANDSET:
    case PA_DEVICE_PORT_TYPE_EARPIECE: return FormFactor::Handset;
    case PA_DEVICE_PORT_TYPE_MIC: return FormFactor::Microphone;
    case PA_DEVICE_PORT_TYPE_SPDIF: return FormFactor::Spdif;
    case PA_DEVICE_PORT_TYPE_HDMI:
    case PA_DEVICE_PORT_TYPE_TV: return FormFactor::DigitalAudioDisplayDevice;
    case PA_DEVICE_PORT_TYPE_NETWORK: return FormFactor::RemoteNetworkDevice;
    default: return std::nullopt;  // unknown, USB, Bluetooth, ...: says nothing about the form
    }
}

std::optional<FormFactor> fromProperty(std::string_view value) {
    static constexpr std::array<std::pair<std::string_view, FormFactor>, 11> kNames{{
        {"headphone", FormFactor::Headphones},
        {"headset", FormFactor::Headset},
        {"hands-free", FormFactor::Headset},
        {"speaker", FormFactor::Speakers},
        {"internal", FormFactor::Speakers},
        {"hifi", FormFactor::Speakers},
        {"car", FormFactor::Speakers},
        {"handset", FormFactor::Handset},
        {"tv", FormFactor::DigitalAudioDisplayDevice},
        {"microphone", FormFactor::Microphone},
        {"webcam", FormFactor::Microphone},
    }};
    for (const auto& [name, formFactor] : kNames) {
        if (name == value) {
            return formFactor;
        }
    }
    return std::nullopt;
}

}  // namespace

bool hasEffects(const SinkFacts& sink) { return sink.deviceClass == "filter" || !sink.masterDevice.empty(); }

bool isActiveOutput(const SinkFacts& sink) {
    return !hasEffects(sink) && !(sink.activePort && sink.activePort->unplugged);
}

FormFactor formFactorOf(const SinkFacts& sink) {
    if (sink.activePort) {
        if (const auto byPort = fromPortType(sink.activePort->type)) {
            return *byPort;
        }
    }
    return fromProperty(sink.formFactor).value_or(FormFactor::UnknownFormFactor);
}

}  // namespace quellwave::platform

#include "app/platform/PulseAudioEndpoints.hpp"

#include "app/platform/AlsaHardware.hpp"

namespace quellwave::platform {
namespace {

std::optional<AlsaHardware> hardwareBehind(const SinkFacts& sink) {
    if (!sink.alsaCard) {
        return std::nullopt;  // not a card: a null, network or effects sink
    }
    return AlsaHardware(*sink.alsaCard, sink.alsaDevice.value_or(0));
}

}  // namespace

PulseAudioEndpoints::PulseAudioEndpoints(PulseTiming timing) : timing_(timing) {}

EndpointAnswer<SinkFacts> PulseAudioEndpoints::defaultSink(PulseClient& client) {
    if (!client.connected()) {
        return EndpointFailure{EndpointStep::Enumerator, client.errorCode()};
    }
    const auto name = client.defaultSinkName();
    auto sink = name ? client.sink(*name) : std::nullopt;
    if (!sink) {
        return EndpointFailure{EndpointStep::DefaultEndpoint, client.errorCode()};
    }
    return *sink;
}

std::optional<SinkFacts> PulseAudioEndpoints::defaultSinkOrNothing() {
    PulseClient client(timing_);
    auto answer = defaultSink(client);
    if (auto* sink = std::get_if<SinkFacts>(&answer)) {
        return std::move(*sink);
    }
    return std::nullopt;
}

EndpointAnswer<MixFormat> PulseAudioEndpoints::defaultMixFormat() {
    PulseClient client(timing_);
    const auto answer = defaultSink(client);
    if (const auto* failure = std::get_if<EndpointFailure>(&answer)) {
        return *failure;
    }
    const auto& sink = std::get<SinkFacts>(answer);
    return MixFormat{sink.sampleRate, sink.channels};
}

FormatSupport PulseAudioEndpoints::exclusiveFormatSupport(const WaveFormat& format) {
    const auto sink = defaultSinkOrNothing();
    const auto hardware = sink ? hardwareBehind(*sink) : std::nullopt;
    return hardware ? hardware->support(format) : FormatSupport::Unsupported;
}

bool PulseAudioEndpoints::initializeExclusive(const WaveFormat& format) {
    const auto sink = defaultSinkOrNothing();
    const auto hardware = sink ? hardwareBehind(*sink) : std::nullopt;
    return hardware && hardware->opens(format);
}

bool PulseAudioEndpoints::initializeShared(const MixFormat& format) {
    PulseClient client(timing_);
    const auto answer = defaultSink(client);
    const auto* sink = std::get_if<SinkFacts>(&answer);
    return sink != nullptr && client.playbackStreamOpens(sink->name, format.sampleRate, format.channels);
}

EndpointAnswer<EndpointProperty> PulseAudioEndpoints::effectsDisabledProperty() {
    PulseClient client(timing_);
    const auto answer = defaultSink(client);
    if (const auto* failure = std::get_if<EndpointFailure>(&answer)) {
        return *failure;
    }
    return EndpointProperty{!hasEffects(std::get<SinkFacts>(answer))};
}

EndpointAnswer<std::vector<EndpointProperty>> PulseAudioEndpoints::activeOutputFormFactors() {
    PulseClient client(timing_);
    if (!client.connected()) {
        return EndpointFailure{EndpointStep::Enumerator, client.errorCode()};
    }
    const auto sinks = client.sinks();
    if (!sinks) {
        return EndpointFailure{EndpointStep::Enumerator, client.errorCode()};
    }
    std::vector<EndpointProperty> formFactors;
    for (const SinkFacts& sink : *sinks) {
        if (isActiveOutput(sink)) {
            formFactors.emplace_back(static_cast<std::uint32_t>(formFactorOf(sink)));
        }
    }
    return formFactors;
}

MonoSetting PulseAudioEndpoints::monoAccessibilitySetting() { return MonoSetting{MonoSetting::State::Absent}; }

}  // namespace quellwave::platform

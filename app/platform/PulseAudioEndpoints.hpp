#pragma once

#include "app/platform/AudioEndpoints.hpp"
#include "app/platform/PulseClient.hpp"

namespace quellwave::platform {

// The audio outputs as the sound server (PulseAudio, or PipeWire through its PulseAudio
// interface) reports them; format tests go to the card behind the default output.
class PulseAudioEndpoints : public AudioEndpoints {
public:
    explicit PulseAudioEndpoints(PulseTiming timing = {});

    EndpointAnswer<MixFormat> defaultMixFormat() override;
    FormatSupport exclusiveFormatSupport(const WaveFormat& format) override;
    bool initializeExclusive(const WaveFormat& format) override;
    bool initializeShared(const MixFormat& format) override;
    EndpointAnswer<EndpointProperty> effectsDisabledProperty() override;
    EndpointAnswer<std::vector<EndpointProperty>> activeOutputFormFactors() override;
    // There is no system-wide mono setting here: always Absent.
    MonoSetting monoAccessibilitySetting() override;

private:
    EndpointAnswer<SinkFacts> defaultSink(PulseClient& client);
    std::optional<SinkFacts> defaultSinkOrNothing();

    PulseTiming timing_;
};

}  // namespace quellwave::platform

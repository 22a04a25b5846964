#include "app/platform/AlsaHardware.hpp"

#include <alsa/asoundlib.h>

#include <memory>
#include <optional>

namespace quellwave::platform {
namespace {

constexpr unsigned kPeriodMicroseconds = 100000;

std::optional<snd_pcm_format_t> sampleTypeOf(const WaveFormat& format) {
    if (format.bitsPerSample == 16) {
        return SND_PCM_FORMAT_S16_LE;
    }
    if (format.bitsPerSample == 32) {
        return SND_PCM_FORMAT_S32_LE;  // 24 valid bits sit in the high bytes
    }
    return std::nullopt;
}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

struct ParamsFreer {
    void operator()(snd_pcm_hw_params_t* params) const { snd_pcm_hw_params_free(params); }
};
using ParamsHandle = std::unique_ptr<snd_pcm_hw_params_t, ParamsFreer>;

// The device, opened without waiting, with its full parameter space in interleaved access.
struct OpenDevice {
    PcmHandle pcm;
    ParamsHandle params;
};

std::optional<OpenDevice> openDevice(const std::string& name) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        return std::nullopt;
    }
    OpenDevice device{PcmHandle(pcm), nullptr};
    snd_pcm_hw_params_t* params = nullptr;
    if (snd_pcm_hw_params_malloc(&params) < 0) {
        return std::nullopt;
    }
    device.params.reset(params);
    if (snd_pcm_hw_params_any(pcm, params) < 0 ||
        snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_rate_resample(pcm, params, 0) < 0) {
        return std::nullopt;
    }
    return device;
}

}  // namespace

AlsaHardware::AlsaHardware(int card, int device)
    : deviceName_("hw:" + std::to_string(card) + "," + std::to_string(device)) {}

FormatSupport AlsaHardware::support(const WaveFormat& format) const {
    const auto sampleType = sampleTypeOf(format);
    auto device = sampleType ? openDevice(deviceName_) : std::nullopt;
    if (!device) {
        return FormatSupport::Unsupported;
    }
    snd_pcm_t* pcm = device->pcm.get();
    snd_pcm_hw_params_t* params = device->params.get();
    if (snd_pcm_hw_params_set_format(pcm, params, *sampleType) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, params, format.channels) < 0) {
        return FormatSupport::Unsupported;
    }
    return snd_pcm_hw_params_test_rate(pcm, params, format.samplesPerSecond, 0) == 0 ? FormatSupport::Supported
                                                                                     : FormatSupport::ClosestMatch;
}

bool AlsaHardware::opens(const WaveFormat& format) const {
    const auto sampleType = sampleTypeOf(format);
    auto device = sampleType ? openDevice(deviceName_) : std::nullopt;
    if (!device) {
        return false;
    }
    snd_pcm_t* pcm = device->pcm.get();
    snd_pcm_hw_params_t* params = device->params.get();
    unsigned period = kPeriodMicroseconds;
    int direction = 0;
    return snd_pcm_hw_params_set_format(pcm, params, *sampleType) == 0 &&
           snd_pcm_hw_params_set_channels(pcm, params, format.channels) == 0 &&
           snd_pcm_hw_params_set_rate(pcm, params, format.samplesPerSecond, 0) == 0 &&
           snd_pcm_hw_params_set_period_time_near(pcm, params, &period, &direction) == 0 &&
           snd_pcm_hw_params(pcm, params) == 0;
}

}  // namespace quellwave::platform

#pragma once

#include <cstdint>
#include <variant>
#include <vector>

namespace quellwave::platform {

// Sample layout of an output format the program asks the hardware about.
enum class FormatTag : std::uint16_t {
    Pcm = 0x0001,
    Extensible = 0xFFFE,
};

// One output format, in the fields a wave-format header carries.
struct WaveFormat {
    FormatTag tag = FormatTag::Pcm;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
    std::uint16_t validBitsPerSample = 0;  // extensible only
    std::uint32_t channelMask = 0;         // extensible only

    bool operator==(const WaveFormat&) const = default;
};

// The format the default output mixes in.
struct MixFormat {
    std::uint32_t sampleRate = 0;
    std::uint16_t channels = 0;
};

// How the hardware behind the default output answers a format test.
enum class FormatSupport {
    Supported,     // exactly this format
    ClosestMatch,  // only something near it
    Unsupported,
};

// Form factors of an audio endpoint, numbered as the endpoint property reports them.
enum class FormFactor : std::uint32_t {
    RemoteNetworkDevice = 0,
    Speakers = 1,
    LineLevel = 2,
    Headphones = 3,
    Microphone = 4,
    Headset = 5,
    Handset = 6,
    UnknownDigitalPassthrough = 7,
    Spdif = 8,
    DigitalAudioDisplayDevice = 9,
    UnknownFormFactor = 10,
};

// An endpoint property as read from a device: not readable, a switch, or a number.
using EndpointProperty = std::variant<std::monostate, bool, std::uint32_t>;

// The step of an endpoint query that failed.
enum class EndpointStep {
    Enumerator,       // reaching the audio system
    DefaultEndpoint,  // finding the default output
    PropertyStore,    // opening the output's properties
    AudioClient,      // opening a client on the output
    MixFormat,        // reading its mix format
};

struct EndpointFailure {
    EndpointStep step = EndpointStep::Enumerator;
    long code = 0;
};

// A value, or the step that failed on the way to it.
template <typename T>
using EndpointAnswer = std::variant<T, EndpointFailure>;

// The accessibility setting that forces mono output.
struct MonoSetting {
    enum class State {
        SettingsUnreadable,  // the settings store could not be opened; `code` says why
        Absent,              // opened, but holds no such value
        Present,             // `value` holds it
    };
    State state = State::Absent;
    long code = 0;
    std::uint32_t value = 0;
};

// What the program asks of the operating system's audio outputs. Implementations only
// answer the raw questions; every rule built on the answers lives with the callers.
class AudioEndpoints {
public:
    virtual ~AudioEndpoints() = default;

    // Mix format of the default output.
    virtual EndpointAnswer<MixFormat> defaultMixFormat() = 0;

    // Whether the hardware behind the default output takes `format` for its own use alone.
    virtual FormatSupport exclusiveFormatSupport(const WaveFormat& format) = 0;

    // Opens the default output for its own use alone in `format` with a 100 ms buffer and
    // period; true when that worked (the output is released again at once).
    virtual bool initializeExclusive(const WaveFormat& format) = 0;

    // Opens a shared stream on the default output in its mix format; true when that worked
    // (the stream is released again at once).
    virtual bool initializeShared(const MixFormat& format) = 0;

    // The default output's "effects disabled" switch.
    virtual EndpointAnswer<EndpointProperty> effectsDisabledProperty() = 0;

    // The form factor of every active output, in enumeration order; an output whose form
    // factor cannot be read gives std::monostate.
    virtual EndpointAnswer<std::vector<EndpointProperty>> activeOutputFormFactors() = 0;

    // The user's mono-output accessibility setting.
    virtual MonoSetting monoAccessibilitySetting() = 0;
};

}  // namespace quellwave::platform

// The endpoint answers against a real sound server of the test's own.
#include "app/platform/PulseAudioEndpoints.hpp"
#include "tests/platform/PulseServerTest.hpp"

#include <gtest/gtest.h>

namespace quellwave::platform {
namespace {

using testing::NoSoundServer;

const PulseTiming kQuick{std::chrono::milliseconds(3000)};

class PulseAudioEndpointsTest : public testing::PulseServerTest {
protected:
    PulseAudioEndpoints endpoints_{kQuick};
};

template <typename T>
const T& valueOf(const EndpointAnswer<T>& answer) {
    if (const auto* failure = std::get_if<EndpointFailure>(&answer)) {
        ADD_FAILURE() << "query failed at step " << static_cast<int>(failure->step) << " code " << failure->code;
        static const T empty{};
        return empty;
    }
    return std::get<T>(answer);
}

TEST_F(PulseAudioEndpointsTest, PlainStereoHeadphonesAtFortyEightKilohertz) {
    start({{"phones", "device.form_factor=headphone", 2, 48000}}, "phones");

    const MixFormat mix = valueOf(endpoints_.defaultMixFormat());
    EXPECT_EQ(mix.sampleRate, 48000u);
    EXPECT_EQ(mix.channels, 2u);
    EXPECT_EQ(valueOf(endpoints_.effectsDisabledProperty()), EndpointProperty{true});
    EXPECT_EQ(valueOf(endpoints_.activeOutputFormFactors()),
              (std::vector<EndpointProperty>{static_cast<std::uint32_t>(FormFactor::Headphones)}));
    EXPECT_EQ(endpoints_.monoAccessibilitySetting().state, MonoSetting::State::Absent);
}

TEST_F(PulseAudioEndpointsTest, ANullSinkHasNoCardSoOnlySharedUseWorks) {
    start({{"phones", "device.form_factor=headphone", 2, 44100}}, "phones");

    const WaveFormat format{FormatTag::Pcm, 2, 44100, 176400, 4, 16, 0, 0, 0};
    EXPECT_EQ(endpoints_.exclusiveFormatSupport(format), FormatSupport::Unsupported);
    EXPECT_FALSE(endpoints_.initializeExclusive(format));
    EXPECT_TRUE(endpoints_.initializeShared(MixFormat{44100, 2}));
}

TEST_F(PulseAudioEndpointsTest, MonoSpeakerIsReportedAsSuch) {
    start({{"speaker", "device.form_factor=speaker", 1, 44100}}, "speaker");

    const MixFormat mix = valueOf(endpoints_.defaultMixFormat());
    EXPECT_EQ(mix.sampleRate, 44100u);
    EXPECT_EQ(mix.channels, 1u);
    EXPECT_EQ(valueOf(endpoints_.activeOutputFormFactors()),
              (std::vector<EndpointProperty>{static_cast<std::uint32_t>(FormFactor::Speakers)}));
}

TEST_F(PulseAudioEndpointsTest, EveryOutputIsListedAndAnUntaggedOneIsOfUnknownForm) {
    start({{"speaker", "device.form_factor=speaker", 2, 48000},
           {"plain", "", 2, 48000},
           {"headset", "device.form_factor=headset", 2, 48000}},
          "speaker");

    EXPECT_EQ(valueOf(endpoints_.activeOutputFormFactors()),
              (std::vector<EndpointProperty>{static_cast<std::uint32_t>(FormFactor::Speakers),
                                             static_cast<std::uint32_t>(FormFactor::UnknownFormFactor),
                                             static_cast<std::uint32_t>(FormFactor::Headset)}));
}

TEST_F(PulseAudioEndpointsTest, AnEffectsSinkAsDefaultOutputMeansEffectsOn) {
    start({{"phones", "device.form_factor=headphone", 2, 48000}}, "effects",
          {"load-module module-virtual-sink sink_name=effects master=phones"});

    EXPECT_EQ(valueOf(endpoints_.effectsDisabledProperty()), EndpointProperty{false});
    // The effects stage is no output device of its own: only the headphones behind it count.
    EXPECT_EQ(valueOf(endpoints_.activeOutputFormFactors()),
              (std::vector<EndpointProperty>{static_cast<std::uint32_t>(FormFactor::Headphones)}));
}

TEST_F(PulseAudioEndpointsTest, ADefaultSinkThatWasRemovedIsNoDefaultEndpoint) {
    start({{"phones", "device.form_factor=headphone", 2, 48000}}, "", {"unload-module module-null-sink"});

    const auto answer = endpoints_.defaultMixFormat();
    ASSERT_TRUE(std::holds_alternative<EndpointFailure>(answer));
    EXPECT_EQ(std::get<EndpointFailure>(answer).step, EndpointStep::DefaultEndpoint);
    EXPECT_FALSE(endpoints_.initializeShared(MixFormat{48000, 2}));
}

TEST(PulseAudioEndpointsWithoutServerTest, EveryQueryFailsAtTheFirstStep) {
    NoSoundServer none;
    PulseAudioEndpoints endpoints(kQuick);

    const auto mix = endpoints.defaultMixFormat();
    ASSERT_TRUE(std::holds_alternative<EndpointFailure>(mix));
    EXPECT_EQ(std::get<EndpointFailure>(mix).step, EndpointStep::Enumerator);
    EXPECT_NE(std::get<EndpointFailure>(mix).code, 0);

    const auto effects = endpoints.effectsDisabledProperty();
    ASSERT_TRUE(std::holds_alternative<EndpointFailure>(effects));
    EXPECT_EQ(std::get<EndpointFailure>(effects).step, EndpointStep::Enumerator);

    EXPECT_TRUE(std::holds_alternative<EndpointFailure>(endpoints.activeOutputFormFactors()));
    EXPECT_EQ(endpoints.exclusiveFormatSupport(WaveFormat{}), FormatSupport::Unsupported);
    EXPECT_FALSE(endpoints.initializeShared(MixFormat{48000, 2}));
}

}  // namespace
}  // namespace quellwave::platform

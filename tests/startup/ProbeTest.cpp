#include "app/platform/fake/FakePlatform.hpp"
#include "app/ui/Startup.hpp"

#include <gtest/gtest.h>

namespace quellwave::ui {
namespace {

using platform::EndpointFailure;
using platform::EndpointStep;
using platform::FormatSupport;
using platform::FormatTag;
using platform::MixFormat;
using platform::WaveFormat;

TEST(ExclusiveFormatTest, ExtensibleIs24BitsIn32BitStereoFrames) {
    const WaveFormat format = extensibleFormat(96000);
    EXPECT_EQ(format.tag, FormatTag::Extensible);
    EXPECT_EQ(static_cast<unsigned>(format.tag), 0xFFFEu);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.samplesPerSecond, 96000u);
    EXPECT_EQ(format.averageBytesPerSecond, 768000u);
    EXPECT_EQ(format.blockAlign, 8);
    EXPECT_EQ(format.bitsPerSample, 32);
    EXPECT_EQ(format.extraSize, 22);
    EXPECT_EQ(format.validBitsPerSample, 24);
    EXPECT_EQ(format.channelMask, 3u);
}

TEST(ExclusiveFormatTest, PcmIs16BitStereo) {
    const WaveFormat format = pcmFormat(44100);
    EXPECT_EQ(static_cast<unsigned>(format.tag), 1u);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.samplesPerSecond, 44100u);
    EXPECT_EQ(format.averageBytesPerSecond, 176400u);
    EXPECT_EQ(format.blockAlign, 4);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.extraSize, 0);
}

class ProbeTest : public ::testing::Test {
protected:
    platform::fake::FakePlatform os;
    std::uint32_t rate = kInitialSampleRate;
};

TEST_F(ProbeTest, HighResolutionAt96000IsTakenAtOnce) {
    os.endpoints.support = {{extensibleFormat(96000), FormatSupport::Supported}};
    os.endpoints.opensExclusive = {extensibleFormat(96000)};

    EXPECT_TRUE(probeOutputSampleRate(rate));
    EXPECT_EQ(rate, 96000u);
    EXPECT_EQ(os.endpoints.supportQueries.size(), 1u);
    EXPECT_TRUE(os.endpoints.sharedOpens.empty());
}

TEST_F(ProbeTest, SixteenBitAt48000OnlyIsFoundAfterThe96000Tests) {
    os.endpoints.mixFormat = MixFormat{44100, 2};
    os.endpoints.support = {{pcmFormat(48000), FormatSupport::Supported}};
    os.endpoints.opensExclusive = {pcmFormat(48000)};

    EXPECT_TRUE(probeOutputSampleRate(rate));
    EXPECT_EQ(rate, 48000u);
    EXPECT_EQ(os.endpoints.supportQueries, (std::vector<WaveFormat>{extensibleFormat(96000), pcmFormat(96000),
                                                                    extensibleFormat(48000), pcmFormat(48000)}));
    EXPECT_EQ(os.endpoints.exclusiveOpens, std::vector<WaveFormat>{pcmFormat(48000)});
}

TEST_F(ProbeTest, ANearMatchIsNotSupportAndIsNotOpened) {
    os.endpoints.support = {{extensibleFormat(96000), FormatSupport::ClosestMatch},
                            {pcmFormat(44100), FormatSupport::Supported}};
    os.endpoints.opensExclusive = {extensibleFormat(96000), pcmFormat(44100)};

    EXPECT_TRUE(probeOutputSampleRate(rate));
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(os.endpoints.exclusiveOpens, std::vector<WaveFormat>{pcmFormat(44100)});
}

TEST_F(ProbeTest, ASupportedFormatThatFailsToOpenPassesToTheNext) {
    os.endpoints.support = {{extensibleFormat(96000), FormatSupport::Supported},
                            {pcmFormat(96000), FormatSupport::Supported}};
    os.endpoints.opensExclusive = {pcmFormat(96000)};

    EXPECT_TRUE(probeOutputSampleRate(rate));
    EXPECT_EQ(rate, 96000u);
    EXPECT_EQ(os.endpoints.exclusiveOpens, (std::vector<WaveFormat>{extensibleFormat(96000), pcmFormat(96000)}));
}

TEST_F(ProbeTest, SharedUseOnlyGivesTheMixRate) {
    os.endpoints.mixFormat = MixFormat{44100, 2};

    EXPECT_TRUE(probeOutputSampleRate(rate));
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(os.endpoints.supportQueries.size(), 6u);
    EXPECT_TRUE(os.endpoints.exclusiveOpens.empty());
    ASSERT_EQ(os.endpoints.sharedOpens.size(), 1u);
    EXPECT_EQ(os.endpoints.sharedOpens[0].sampleRate, 44100u);
    EXPECT_EQ(os.endpoints.sharedOpens[0].channels, 2u);
}

TEST_F(ProbeTest, NothingUsableFailsWithTheMixRateLeft) {
    os.endpoints.mixFormat = MixFormat{32000, 2};
    os.endpoints.opensShared = false;

    OutputProblem problem = OutputProblem::NoSoundServer;
    EXPECT_FALSE(probeOutputSampleRate(rate, &problem));
    EXPECT_EQ(rate, 32000u);
    EXPECT_EQ(problem, OutputProblem::SharedRefused);
}

TEST_F(ProbeTest, NoDefaultOutputFailsWithTheRateUnchanged) {
    os.endpoints.mixFormat = EndpointFailure{EndpointStep::DefaultEndpoint, 2};

    OutputProblem problem = OutputProblem::NoSoundServer;
    EXPECT_FALSE(probeOutputSampleRate(rate, &problem));
    EXPECT_EQ(rate, kInitialSampleRate);
    EXPECT_TRUE(os.endpoints.supportQueries.empty());
    EXPECT_TRUE(os.endpoints.sharedOpens.empty());
    EXPECT_EQ(problem, OutputProblem::NoDefaultOutput);
}

TEST_F(ProbeTest, AServerThatDoesNotAnswerIsToldApartFromAMissingOutput) {
    os.endpoints.mixFormat = EndpointFailure{EndpointStep::Enumerator, 111};

    OutputProblem problem = OutputProblem::SharedRefused;
    EXPECT_FALSE(probeOutputSampleRate(rate, &problem));
    EXPECT_EQ(problem, OutputProblem::NoSoundServer);
    EXPECT_EQ(sampleRateFailureText(problem),
              "Failed to check or set sample rate.\n\nNo sound server (PulseAudio or PipeWire) answered.");
    EXPECT_EQ(sampleRateFailureText(OutputProblem::NoDefaultOutput),
              "Failed to check or set sample rate.\n\nThe sound server has no default output.");
    EXPECT_EQ(sampleRateFailureText(OutputProblem::SharedRefused),
              "Failed to check or set sample rate.\n\nThe default output accepts no stream.");
}

}  // namespace
}  // namespace quellwave::ui

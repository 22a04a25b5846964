#include "app/platform/SinkFacts.hpp"

#include <pulse/def.h>

#include <gtest/gtest.h>

namespace quellwave::platform {
namespace {

SinkFacts sinkWithPort(std::uint32_t type, bool unplugged = false) {
    SinkFacts sink;
    sink.activePort = SinkFacts::Port{type, unplugged};
    return sink;
}

TEST(SinkFactsTest, EffectsSinksAreFiltersOrFeedAnotherSink) {
    SinkFacts card;
    card.deviceClass = "sound";
    EXPECT_FALSE(hasEffects(card));

    SinkFacts filter;
    filter.deviceClass = "filter";
    EXPECT_TRUE(hasEffects(filter));

    SinkFacts chained;
    chained.masterDevice = "alsa_output.pci-0000_00_1f.3.analog-stereo";
    EXPECT_TRUE(hasEffects(chained));
}

TEST(SinkFactsTest, UnpluggedPortsAndEffectsSinksAreNoActiveOutputs) {
    EXPECT_TRUE(isActiveOutput(SinkFacts{}));
    EXPECT_TRUE(isActiveOutput(sinkWithPort(PA_DEVICE_PORT_TYPE_HEADPHONES)));
    EXPECT_FALSE(isActiveOutput(sinkWithPort(PA_DEVICE_PORT_TYPE_HEADPHONES, true)));
    SinkFacts filter;
    filter.deviceClass = "filter";
    EXPECT_FALSE(isActiveOutput(filter));
}

TEST(SinkFactsTest, PortTypeGivesTheFormFactor) {
    EXPECT_EQ(formFactorOf(sinkWithPort(PA_DEVICE_PORT_TYPE_HEADPHONES)), FormFactor::Headphones);
    EXPECT_EQ(formFactorOf(sinkWithPort(PA_DEVICE_PORT_TYPE_HEADSET)), FormFactor::Headset);
    EXPECT_EQ(formFactorOf(sinkWithPort(PA_DEVICE_PORT_TYPE_SPEAKER)), FormFactor::Speakers);
    EXPECT_EQ(formFactorOf(sinkWithPort(PA_DEVICE_PORT_TYPE_HDMI)), FormFactor::DigitalAudioDisplayDevice);
}

TEST(SinkFactsTest, PortTypeOutranksTheFormFactorProperty) {
    SinkFacts sink = sinkWithPort(PA_DEVICE_PORT_TYPE_SPEAKER);
    sink.formFactor = "headphone";
    EXPECT_EQ(formFactorOf(sink), FormFactor::Speakers);
}

TEST(SinkFactsTest, WithoutATellingPortThePropertyDecides) {
    SinkFacts sink = sinkWithPort(PA_DEVICE_PORT_TYPE_USB);
    sink.formFactor = "headphone";
    EXPECT_EQ(formFactorOf(sink), FormFactor::Headphones);

    SinkFacts noPort;
    noPort.formFactor = "headset";
    EXPECT_EQ(formFactorOf(noPort), FormFactor::Headset);
    noPort.formFactor = "speaker";
    EXPECT_EQ(formFactorOf(noPort), FormFactor::Speakers);
}

TEST(SinkFactsTest, NothingKnownIsTheUnknownFormFactor) {
    EXPECT_EQ(formFactorOf(SinkFacts{}), FormFactor::UnknownFormFactor);
    SinkFacts odd;
    odd.formFactor = "portable";
    EXPECT_EQ(formFactorOf(odd), FormFactor::UnknownFormFactor);
    EXPECT_EQ(formFactorOf(sinkWithPort(PA_DEVICE_PORT_TYPE_UNKNOWN)), FormFactor::UnknownFormFactor);
}

}  // namespace
}  // namespace quellwave::platform

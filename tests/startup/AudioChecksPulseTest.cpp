// The program's start-up probe and output checks against a real sound server of the test's own.
#include "app/platform/PulseAudioEndpoints.hpp"
#include "app/platform/fake/FakePlatform.hpp"
#include "app/ui/AudioChecks.hpp"
#include "app/ui/Startup.hpp"
#include "tests/platform/CapturedErrors.hpp"
#include "tests/platform/PulseServerTest.hpp"
#include "tests/startup/WarningTexts.hpp"

#include <gtest/gtest.h>

namespace quellwave::ui {
namespace {

using namespace warning_texts;

// The real audio outputs with scripted dialogs, folders and display, installed for the
// object's lifetime.
struct RealOutputs {
    platform::PulseAudioEndpoints endpoints{platform::PulseTiming{std::chrono::milliseconds(3000)}};
    platform::fake::FakeDialogs dialogs;
    platform::fake::FakeSystemServices system;
    platform::fake::FakeDisplaySleep display;
    platform::Platform platform{endpoints, dialogs, system, display};
    platform::ScopedPlatform installed{platform};
};

class RealOutputsTest : public testing::PulseServerTest, public RealOutputs {};

TEST_F(RealOutputsTest, StereoHeadphonesRaiseNoWarning) {
    start({{"phones", "device.form_factor=headphone", 2, 48000}}, "phones");
    EXPECT_TRUE(runAudioChecks());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RealOutputsTest, AnEffectsSinkInFrontOfTheHeadphonesWarnsAboutEnhancements) {
    start({{"phones", "device.form_factor=headphone", 2, 48000}}, "effects",
          {"load-module module-virtual-sink sink_name=effects master=phones"});
    dialogs.answers = {platform::DialogAnswer::No};
    EXPECT_FALSE(runAudioChecks());
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kEnhancements});
}

TEST_F(RealOutputsTest, MonoHeadphonesWarnAboutMono) {
    start({{"phones", "device.form_factor=headphone", 1, 48000}}, "phones");
    EXPECT_TRUE(runAudioChecks());
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kMono});
}

TEST_F(RealOutputsTest, SpeakersWarnAboutMissingHeadphones) {
    start({{"speaker", "device.form_factor=speaker", 2, 48000}}, "speaker");
    dialogs.answers = {platform::DialogAnswer::No};
    EXPECT_FALSE(runAudioChecks());
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kHeadphones});
}

TEST_F(RealOutputsTest, HeadphonesBesideTheDefaultSpeakersAreFound) {
    start({{"speaker", "device.form_factor=speaker", 2, 48000}, {"phones", "device.form_factor=headphone", 2, 48000}},
          "speaker");
    EXPECT_TRUE(runAudioChecks());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RealOutputsTest, AnOutputWithoutACardPlaysSharedAtItsMixRate) {
    start({{"phones", "device.form_factor=headphone", 2, 44100}}, "phones");
    std::uint32_t rate = kInitialSampleRate;
    EXPECT_TRUE(probeOutputSampleRate(rate));
    EXPECT_EQ(rate, 44100u);
}

TEST(NoSoundServerTest, StartUpReportsTheRateFailureAndChecksFallBack) {
    testing::NoSoundServer none;
    RealOutputs outputs;
    auto& dialogs = outputs.dialogs;
    auto& system = outputs.system;

    bool mainLoopRan = false;
    EXPECT_EQ(runQuellwave({[] { return std::optional<std::string>(); }, [] {},
                            [&] {
                                mainLoopRan = true;
                                return 0;
                            }}),
              1);
    EXPECT_FALSE(mainLoopRan);
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{sampleRateFailureText(OutputProblem::NoSoundServer)});
    EXPECT_EQ(system.characterWaits, 1);

    bool checksPassed = false;
    std::string errors;
    {
        testing::CapturedErrors captured;
        checksPassed = runAudioChecks();
        errors = captured.text();
    }
    EXPECT_TRUE(checksPassed);
    EXPECT_EQ(dialogs.texts(),
              (std::vector<std::string>{sampleRateFailureText(OutputProblem::NoSoundServer), kHeadphones}));
    EXPECT_NE(errors.find("CoCreateInstance for IMMDeviceEnumerator failed: "), std::string::npos);
}

}  // namespace
}  // namespace quellwave::ui

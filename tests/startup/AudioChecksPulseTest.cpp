// The program's start-up probe and output checks against a real sound server of the test's own.
#include "app/platform/PulseAudioEndpoints.hpp"
#include "app/platform/fake/FakePlatform.hpp"
#include "app/ui/AudioChecks.hpp"
#include "app/ui/Startup.hpp"
#include "tests/platform/PulseTestServer.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace quellwave::ui {
namespace {

using testing::PulseTestServer;

const std::string kEnhancements =
    "Audio enhancements are enabled. Please disable them in your sound settings.\n\nContinue anyway?";
const std::string kMono =
    "The system's audio output is mono. Please configure it to Stereo in your sound settings.\n\n"
    "Continue anyway?";
const std::string kHeadphones =
    "Headphones were not detected. For a successful experience, make sure headphones are plugged "
    "in.\n\nContinue anyway?";

// The real audio outputs with scripted dialogs, folders and display.
class RealOutputsTest : public ::testing::Test {
protected:
    void start(const std::vector<PulseTestServer::Sink>& sinks, const std::string& defaultSink,
               const std::vector<std::string>& extraLines = {})
    {
        if (!PulseTestServer::binaryAvailable()) {
            GTEST_SKIP() << "pulseaudio is not installed";
        }
        server_.emplace(sinks, defaultSink, extraLines);
        ASSERT_TRUE(server_->running()) << server_->log();
    }

    platform::PulseAudioEndpoints endpoints{platform::PulseTiming{std::chrono::milliseconds(3000)}};
    platform::fake::FakeDialogs dialogs;
    platform::fake::FakeSystemServices system;
    platform::fake::FakeDisplaySleep display;
    platform::Platform platform{endpoints, dialogs, system, display};
    platform::ScopedPlatform installed{platform};
    std::optional<PulseTestServer> server_;
};

TEST_F(RealOutputsTest, StereoHeadphonesRaiseNoWarning)
{
    start({{"phones", "device.form_factor=headphone", 2, 48000}}, "phones");
    EXPECT_TRUE(runAudioChecks());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RealOutputsTest, AnEffectsSinkInFrontOfTheHeadphonesWarnsAboutEnhancements)
{
    start({{"phones", "device.form_factor=headphone", 2, 48000}}, "effects",
          {"load-module module-virtual-sink sink_name=effects master=phones"});
    dialogs.answers = {platform::DialogAnswer::No};
    EXPECT_FALSE(runAudioChecks());
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kEnhancements});
}

TEST_F(RealOutputsTest, MonoHeadphonesWarnAboutMono)
{
    start({{"phones", "device.form_factor=headphone", 1, 48000}}, "phones");
    EXPECT_TRUE(runAudioChecks());
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kMono});
}

TEST_F(RealOutputsTest, SpeakersWarnAboutMissingHeadphones)
{
    start({{"speaker", "device.form_factor=speaker", 2, 48000}}, "speaker");
    dialogs.answers = {platform::DialogAnswer::No};
    EXPECT_FALSE(runAudioChecks());
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kHeadphones});
}

TEST_F(RealOutputsTest, HeadphonesBesideTheDefaultSpeakersAreFound)
{
    start({{"speaker", "device.form_factor=speaker", 2, 48000},
           {"phones", "device.form_factor=headphone", 2, 48000}},
          "speaker");
    EXPECT_TRUE(runAudioChecks());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RealOutputsTest, AnOutputWithoutACardPlaysSharedAtItsMixRate)
{
    start({{"phones", "device.form_factor=headphone", 2, 44100}}, "phones");
    std::uint32_t rate = kInitialSampleRate;
    EXPECT_TRUE(probeOutputSampleRate(rate));
    EXPECT_EQ(rate, 44100u);
}

TEST(NoSoundServerTest, StartUpReportsTheRateFailureAndChecksFallBack)
{
    testing::NoSoundServer none;
    platform::PulseAudioEndpoints endpoints{platform::PulseTiming{std::chrono::milliseconds(3000)}};
    platform::fake::FakeDialogs dialogs;
    platform::fake::FakeSystemServices system;
    platform::fake::FakeDisplaySleep display;
    platform::Platform platform{endpoints, dialogs, system, display};
    platform::ScopedPlatform installed{platform};

    bool mainLoopRan = false;
    EXPECT_EQ(runQuellwave({[] {}, [&] { mainLoopRan = true; }}), 1);
    EXPECT_FALSE(mainLoopRan);
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Failed to check or set sample rate."});
    EXPECT_EQ(system.characterWaits, 1);

    std::ostringstream errors;
    std::streambuf* previous = std::cerr.rdbuf(errors.rdbuf());
    const bool checksPassed = runAudioChecks();
    std::cerr.rdbuf(previous);
    EXPECT_TRUE(checksPassed);
    EXPECT_EQ(dialogs.texts(), (std::vector<std::string>{"Failed to check or set sample rate.", kHeadphones}));
    EXPECT_NE(errors.str().find("CoCreateInstance for IMMDeviceEnumerator failed: "), std::string::npos);
}

}  // namespace
}  // namespace quellwave::ui

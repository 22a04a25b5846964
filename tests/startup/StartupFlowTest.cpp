#include "app/engine/AudioExperienceStream.hpp"
#include "app/platform/fake/FakePlatform.hpp"
#include "app/ui/Globals.hpp"
#include "app/ui/Startup.hpp"
#include "tests/platform/CapturedErrors.hpp"
#include "tests/platform/ScopedEnvironment.hpp"
#include "tests/platform/TempFolder.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace quellwave::ui {
namespace {

namespace fs = std::filesystem;
using platform::EndpointFailure;
using platform::EndpointStep;
using platform::FormatSupport;

class StartupFlowTest : public ::testing::Test {
protected:
    StartupFlowTest() {
        os.system.program = temp.path() / "program" / "Quellwave";
        os.system.settingsFolder = temp.path() / "config";
        sampleRate = kInitialSampleRate;
    }
    ~StartupFlowTest() override { sampleRate = kInitialSampleRate; }

    fs::path configFile() const { return temp.path() / "config" / "Quellwave" / "alsoft.ini"; }

    int run() {
        return runQuellwave({[this]() -> std::optional<std::string> {
                                 if (displayProblem) {
                                     return displayProblem;
                                 }
                                 steps.emplace_back("window");
                                 return std::nullopt;
                             },
                             [this] {
                                 steps.emplace_back("close window");
                                 dialogsBeforeClose = os.dialogs.shown.size();
                             },
                             [this] {
                                 steps.emplace_back("main loop");
                                 // What the sound back end finds when the first stream opens.
                                 configSeenByLoop = testing::readFile(configFile());
                                 variableSeenByLoop = os.system.environment["ALSOFT_CONF"];
                                 return loopExitCode;
                             }});
    }

    testing::TempFolder temp;
    platform::fake::FakePlatform os;
    std::vector<std::string> steps;
    std::string configSeenByLoop;
    std::string variableSeenByLoop;
    int loopExitCode = 0;
    std::optional<std::string> displayProblem;
    std::size_t dialogsBeforeClose = 0;
};

TEST_F(StartupFlowTest, ANormalRunConfiguresTheProbedRateBeforeTheMainLoop) {
    os.endpoints.support = {{pcmFormat(48000), FormatSupport::Supported}};
    os.endpoints.opensExclusive = {pcmFormat(48000)};

    EXPECT_EQ(run(), 0);
    EXPECT_EQ(steps, (std::vector<std::string>{"window", "main loop"}));
    EXPECT_EQ(sampleRate, 48000u);
    EXPECT_EQ(configSeenByLoop, openALConfigText(48000));
    EXPECT_EQ(variableSeenByLoop, configFile().string());
    EXPECT_EQ(os.display.calls, std::vector<std::string>{"sleep"});
    EXPECT_TRUE(os.dialogs.shown.empty());
    EXPECT_EQ(os.system.characterWaits, 0);
}

TEST_F(StartupFlowTest, AMainLoopEndedByAnUnusableDataFileShutsDownAndPassesItsCodeOn) {
    os.endpoints.mixFormat = platform::MixFormat{48000, 2};
    loopExitCode = 1;

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(steps, (std::vector<std::string>{"window", "main loop"}));
    EXPECT_EQ(os.display.calls, std::vector<std::string>{"sleep"});
}

TEST_F(StartupFlowTest, AnExistingUserFileIsAlwaysRewritten) {
    fs::create_directories(configFile().parent_path());
    std::ofstream(configFile()) << "[General]\nfrequency=22050\n";
    os.endpoints.mixFormat = platform::MixFormat{44100, 2};

    EXPECT_EQ(run(), 0);
    EXPECT_EQ(testing::readFile(configFile()), openALConfigText(44100));
}

TEST_F(StartupFlowTest, NoUsableOutputClosesTheWindowThenSaysWhyAndEndsTheRunWithCodeOne) {
    os.endpoints.mixFormat = EndpointFailure{EndpointStep::Enumerator, 111};

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(steps, (std::vector<std::string>{"window", "close window"}));
    EXPECT_EQ(dialogsBeforeClose, 0u);
    ASSERT_EQ(os.dialogs.shown.size(), 1u);
    EXPECT_EQ(os.dialogs.shown[0].text, sampleRateFailureText(OutputProblem::NoSoundServer));
    EXPECT_EQ(os.dialogs.shown[0].caption, "Error");
    EXPECT_EQ(os.dialogs.shown[0].kind, platform::DialogKind::Error);
    EXPECT_EQ(os.system.characterWaits, 1);
    EXPECT_EQ(sampleRate, kInitialSampleRate);
    EXPECT_FALSE(fs::exists(configFile()));
    EXPECT_TRUE(os.display.calls.empty());
}

TEST_F(StartupFlowTest, AnOutputThatRefusesEveryStreamIsToldApartFromAMissingServer) {
    os.endpoints.mixFormat = platform::MixFormat{48000, 2};
    os.endpoints.opensShared = false;

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(os.dialogs.texts(), std::vector<std::string>{sampleRateFailureText(OutputProblem::SharedRefused)});
}

TEST_F(StartupFlowTest, WithoutADisplayOneLineSaysSoAndNothingElseRuns) {
    displayProblem = "Failed to open the display \":77\".";
    testing::CapturedErrors errors;

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(errors.text(), "Failed to open the display \":77\".\n");
    EXPECT_TRUE(steps.empty());
    EXPECT_TRUE(os.dialogs.shown.empty());
    EXPECT_TRUE(os.endpoints.supportQueries.empty());
    EXPECT_FALSE(fs::exists(configFile()));
    EXPECT_TRUE(os.display.calls.empty());
    EXPECT_EQ(sampleRate, kInitialSampleRate);
}

TEST_F(StartupFlowTest, AConfigurationThatCannotBeWrittenIsShownAndTheProgramRuns) {
    fs::create_directories(configFile());  // a folder where the file belongs

    EXPECT_EQ(run(), 0);
    EXPECT_EQ(os.dialogs.texts(), std::vector<std::string>{"Failed to write to initialize configuration file"});
    EXPECT_EQ(steps, (std::vector<std::string>{"window", "main loop"}));
}

TEST_F(StartupFlowTest, ShutDownWithoutASessionOnlyLetsTheDisplaySleep) {
    ASSERT_EQ(stream, nullptr);
    shutDown();
    EXPECT_EQ(os.display.calls, std::vector<std::string>{"sleep"});
}

TEST_F(StartupFlowTest, ShutDownStopsAndReleasesTheSessionLeftRunning) {
    testing::ScopedEnvironment drivers("ALSOFT_DRIVERS", "null");
    stream = std::make_unique<AudioExperienceStream>(48000, nullptr);

    shutDown();
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(os.display.calls, std::vector<std::string>{"sleep"});
}

}  // namespace
}  // namespace quellwave::ui

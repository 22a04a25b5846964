#include "app/platform/fake/FakePlatform.hpp"
#include "app/ui/AudioChecks.hpp"
#include "tests/platform/CapturedErrors.hpp"
#include "tests/startup/WarningTexts.hpp"

#include <gtest/gtest.h>

namespace quellwave::ui {
namespace {

using platform::DialogAnswer;
using platform::EndpointFailure;
using platform::EndpointProperty;
using platform::EndpointStep;
using platform::FormFactor;
using platform::MixFormat;
using platform::MonoSetting;

using namespace warning_texts;

EndpointProperty formFactor(FormFactor value) { return static_cast<std::uint32_t>(value); }

class AudioChecksTest : public ::testing::Test {
protected:
    platform::fake::FakePlatform os;
    testing::CapturedErrors errors;
};

TEST_F(AudioChecksTest, EnhancementsAreOnUnlessTheSwitchSaysDisabled) {
    os.endpoints.effectsDisabled = EndpointProperty{true};
    EXPECT_FALSE(audioEnhancementsEnabled());
    os.endpoints.effectsDisabled = EndpointProperty{false};
    EXPECT_TRUE(audioEnhancementsEnabled());
    os.endpoints.effectsDisabled = EndpointProperty{};  // unreadable switch
    EXPECT_TRUE(audioEnhancementsEnabled());
    os.endpoints.effectsDisabled = EndpointProperty{std::uint32_t{0}};  // not a switch at all
    EXPECT_FALSE(audioEnhancementsEnabled());
    EXPECT_EQ(errors.text(), "");
}

TEST_F(AudioChecksTest, AnUnreachableOutputIsReportedAndTakenAsNoProblem) {
    os.endpoints.effectsDisabled = EndpointFailure{EndpointStep::DefaultEndpoint, -5};
    os.endpoints.mixFormat = EndpointFailure{EndpointStep::Enumerator, 111};

    EXPECT_FALSE(audioEnhancementsEnabled());
    EXPECT_FALSE(isMonoOutput());
    EXPECT_EQ(errors.text(),
              "GetDefaultAudioEndpoint failed: -5\nCoCreateInstance for IMMDeviceEnumerator failed: 111\n");
}

TEST_F(AudioChecksTest, MonoIsOneMixChannel) {
    os.endpoints.mixFormat = MixFormat{48000, 1};
    EXPECT_TRUE(isMonoOutput());
    os.endpoints.mixFormat = MixFormat{48000, 2};
    EXPECT_FALSE(isMonoOutput());
}

TEST_F(AudioChecksTest, MonoAccessibilitySetting) {
    os.endpoints.mono = {MonoSetting::State::Present, 0, 1};
    EXPECT_TRUE(monoAccessibilityEnabled());
    os.endpoints.mono = {MonoSetting::State::Present, 0, 0};
    EXPECT_FALSE(monoAccessibilityEnabled());
    os.endpoints.mono = {MonoSetting::State::Absent};
    EXPECT_FALSE(monoAccessibilityEnabled());
    EXPECT_EQ(errors.text(), "");
    os.endpoints.mono = {MonoSetting::State::SettingsUnreadable, 2};
    EXPECT_FALSE(monoAccessibilityEnabled());
    EXPECT_EQ(errors.text(), "Failed to open registry key (Software\\Microsoft\\Accessibility): 2\n");
}

TEST_F(AudioChecksTest, HeadphonesHeadsetsAndUnknownFormsCount) {
    using Outputs = std::vector<EndpointProperty>;
    os.endpoints.formFactors = Outputs{formFactor(FormFactor::Speakers)};
    EXPECT_FALSE(headphonesPresent());
    os.endpoints.formFactors = Outputs{formFactor(FormFactor::UnknownFormFactor)};
    EXPECT_TRUE(headphonesPresent());
    os.endpoints.formFactors = Outputs{formFactor(FormFactor::Speakers), formFactor(FormFactor::Headset)};
    EXPECT_TRUE(headphonesPresent());
    os.endpoints.formFactors = Outputs{formFactor(FormFactor::Headphones)};
    EXPECT_TRUE(headphonesPresent());
    os.endpoints.formFactors = Outputs{EndpointProperty{}, EndpointProperty{true}};
    EXPECT_FALSE(headphonesPresent());
    os.endpoints.formFactors = Outputs{};
    EXPECT_FALSE(headphonesPresent());
    os.endpoints.formFactors = EndpointFailure{EndpointStep::Enumerator, 111};
    EXPECT_FALSE(headphonesPresent());
    EXPECT_EQ(errors.text(), "");  // the headphone search prints nothing
}

class CheckSequenceTest : public AudioChecksTest {
protected:
    // Every check finds its problem.
    void everythingWrong() {
        os.endpoints.effectsDisabled = EndpointProperty{false};
        os.endpoints.mixFormat = MixFormat{48000, 1};
        os.endpoints.formFactors = std::vector<EndpointProperty>{formFactor(FormFactor::Speakers)};
    }
};

TEST_F(CheckSequenceTest, AHealthySystemShowsNothing) {
    EXPECT_TRUE(runAudioChecks());
    EXPECT_TRUE(os.dialogs.shown.empty());
}

TEST_F(CheckSequenceTest, EveryProblemIsAskedAboutInOrder) {
    everythingWrong();
    EXPECT_TRUE(runAudioChecks());
    EXPECT_EQ(os.dialogs.texts(), (std::vector<std::string>{kEnhancements, kMono, kHeadphones}));
    for (const auto& request : os.dialogs.shown) {
        EXPECT_EQ(request.caption, "Warning");
        EXPECT_EQ(request.kind, platform::DialogKind::Warning);
    }
}

TEST_F(CheckSequenceTest, NoToTheFirstWarningSkipsTheOthers) {
    everythingWrong();
    os.dialogs.answers = {DialogAnswer::No};
    EXPECT_FALSE(runAudioChecks());
    EXPECT_EQ(os.dialogs.texts(), std::vector<std::string>{kEnhancements});
}

TEST_F(CheckSequenceTest, NoToTheMonoWarningSkipsTheHeadphoneCheck) {
    everythingWrong();
    os.dialogs.answers = {DialogAnswer::Yes, DialogAnswer::No};
    EXPECT_FALSE(runAudioChecks());
    EXPECT_EQ(os.dialogs.texts(), (std::vector<std::string>{kEnhancements, kMono}));
}

TEST_F(CheckSequenceTest, NoToTheHeadphoneWarningEndsTheProgram) {
    os.endpoints.formFactors = std::vector<EndpointProperty>{formFactor(FormFactor::Speakers)};
    os.dialogs.answers = {DialogAnswer::No};
    EXPECT_FALSE(runAudioChecks());
    EXPECT_EQ(os.dialogs.texts(), std::vector<std::string>{kHeadphones});
}

TEST_F(CheckSequenceTest, AMonoMixWarnsWithoutReadingTheAccessibilitySetting) {
    os.endpoints.mixFormat = MixFormat{48000, 1};
    EXPECT_TRUE(runAudioChecks());
    EXPECT_EQ(os.dialogs.texts(), std::vector<std::string>{kMono});
    EXPECT_EQ(os.endpoints.monoQueries, 0);
}

TEST_F(CheckSequenceTest, AStereoMixWithTheMonoSettingWarns) {
    os.endpoints.mono = {MonoSetting::State::Present, 0, 1};
    EXPECT_TRUE(runAudioChecks());
    EXPECT_EQ(os.dialogs.texts(), std::vector<std::string>{kMono});
    EXPECT_EQ(os.endpoints.monoQueries, 1);
}

TEST_F(CheckSequenceTest, AnUnreadableSwitchWarnsAboutEnhancements) {
    os.endpoints.effectsDisabled = EndpointProperty{};
    EXPECT_TRUE(runAudioChecks());
    EXPECT_EQ(os.dialogs.texts(), std::vector<std::string>{kEnhancements});
}

}  // namespace
}  // namespace quellwave::ui

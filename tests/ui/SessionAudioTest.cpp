// The start of a session's sound: the data file is read on a worker thread while the window
// goes on drawing frames, then the stream is built and plays; a data file that cannot be used
// ends the start with its message and the program's exit code.
#include "app/engine/AudioExperienceStream.hpp"
#include "app/platform/AudioOutputState.hpp"
#include "app/platform/fake/FakePlatform.hpp"
#include "app/ui/Globals.hpp"
#include "app/ui/SessionAudio.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

namespace quellwave::ui {
namespace {

namespace fs = std::filesystem;
using Start = SessionAudio::Start;

// Calls begin() frame after frame, as the session screen does, until the start is decided.
Start beginAsFramesDo(SessionAudio& audio, int& pendingFrames) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    Start outcome = audio.begin(4.0, 30);
    pendingFrames = 0;
    while (outcome == Start::Pending && std::chrono::steady_clock::now() < deadline) {
        ++pendingFrames;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        outcome = audio.begin(4.0, 30);
    }
    return outcome;
}

class SessionAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        sampleRate = 48000;
        folder = fs::temp_directory_path() / ("qw-session-audio-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        stream.reset();
        sampleRate = kInitialSampleRate;
        fs::remove_all(folder);
    }
    fs::path folder;
    platform::fake::FakePlatform os;  // a sound server answers unless a test says otherwise
};

TEST_F(SessionAudioTest, TheBuiltDataFileStartsAPlayingSession) {
    SessionAudio audio({std::chrono::milliseconds(1)}, fs::path(QW_APP_DIR) / "data.qw");
    int pendingFrames = 0;
    ASSERT_EQ(beginAsFramesDo(audio, pendingFrames), Start::Started);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->getStageCount(), 9);
    EXPECT_DOUBLE_EQ(audio.sessionSeconds(), 1800.0);
    EXPECT_FALSE(audio.exitCode().has_value());
    audio.leave();
    EXPECT_EQ(stream, nullptr);
    EXPECT_FALSE(platform::audioOutputOpen()) << "a sound object of the session outlived it";
}

TEST_F(SessionAudioTest, WithoutASoundServerNothingIsReadUntilItAnswers) {
    os.endpoints.mixFormat = platform::EndpointFailure{platform::EndpointStep::Enumerator, -1};
    SessionAudio audio({std::chrono::milliseconds(1)}, folder / "data.qw");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(audio.begin(4.0, 30), Start::NoOutput);
    EXPECT_EQ(audio.begin(4.0, 30), Start::NoOutput);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(audio.exitCode().has_value());
    EXPECT_EQ(stream, nullptr);
    EXPECT_FALSE(platform::audioOutputOpen());

    os.endpoints.mixFormat = platform::MixFormat{48000, 2};
    int pendingFrames = 0;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(beginAsFramesDo(audio, pendingFrames), Start::Failed);  // the missing file is looked for now
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Failed to find data.qw\n");
}

TEST_F(SessionAudioTest, AnUnusableDataFileFailsTheStartWithItsMessageAndCode) {
    std::ofstream(folder / "data.qw", std::ios::binary) << std::string(4096, 'Z');
    SessionAudio audio({std::chrono::milliseconds(1)}, folder / "data.qw");
    int pendingFrames = 0;
    ::testing::internal::CaptureStdout();
    const Start outcome = beginAsFramesDo(audio, pendingFrames);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(outcome, Start::Failed);
    EXPECT_EQ(printed, "Failed to load decrypted data into sf::SoundBuffer\n");
    EXPECT_EQ(audio.exitCode(), 1);
    EXPECT_EQ(stream, nullptr);
}

TEST_F(SessionAudioTest, AMissingDataFileIsNamed) {
    SessionAudio audio({std::chrono::milliseconds(1)}, folder / "data.qw");
    int pendingFrames = 0;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(beginAsFramesDo(audio, pendingFrames), Start::Failed);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Failed to find data.qw\n");
}

TEST_F(SessionAudioTest, LeavingTheProgramWhileTheFileIsReadWaitsForTheReader) {
    {
        SessionAudio audio({std::chrono::milliseconds(1)}, fs::path(QW_APP_DIR) / "data.qw");
        EXPECT_NE(audio.begin(4.0, 30), Start::Failed);
    }  // destroyed with the reader possibly still at work: ASan and TSan watch this
    EXPECT_EQ(stream, nullptr);
}

}  // namespace
}  // namespace quellwave::ui

// The whole program under a private X server and sound server, driven as a listener would:
// accept the warnings, pick an experience and a duration, listen, let the session run out and
// answer the end prompt, or leave a session; close the window. To let a session run out, its
// clock is moved forward and sped up through a preloaded clock library instead of waiting 40
// minutes.
#include "app/engine/ExperiencePrograms.hpp"
#include "tests/e2e/quellwave/ChildProcess.hpp"
#include "tests/e2e/quellwave/SoundAnalysis.hpp"
#include "tests/e2e/quellwave/WindowPictures.hpp"
#include "tests/platform/PulseTestServer.hpp"
#include "tests/platform/TempFolder.hpp"
#include "tests/platform/XvfbTestDisplay.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

namespace quellwave::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kProgramFolder = QW_APP_DIR;
const fs::path kClockLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";
constexpr unsigned kRate = 48000;
constexpr const char* kSink = "quellwave_out";
// Spread of brightness above which a picture shows something (a blank window has none).
constexpr double kNotBlank = 5.0;

// Points on the buttons' edges in window coordinates: a click anywhere on what is drawn counts.
constexpr int kWarningContinue[] = {299, 520};       // on the 2-pixel outline left of the rectangle
constexpr int kSelectionContinue[] = {450, 500};     // top left corner
constexpr int kConfirmationContinue[] = {649, 549};  // bottom right corner
constexpr int kExitSession[] = {300, 539};           // bottom left corner
constexpr int kYes[] = {499, 490};                   // top right corner
int rowY(int row) { return 150 + 40 * row + 15; }

// Records everything the sink plays into a raw file; tells how much is recorded so far.
class SinkRecorder {
public:
    explicit SinkRecorder(fs::path file) : file_(std::move(file)), recorder_(options(file_)) {}

    double secondsRecorded() const {
        std::error_code error;
        const auto bytes = fs::file_size(file_, error);
        return error ? 0.0 : static_cast<double>(bytes) / 4.0 / kRate;
    }
    void waitUntilRecorded(double seconds) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds) + 20s;
        while (secondsRecorded() < seconds && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
    }
    StereoRecording stop() {
        recorder_.terminate();
        const std::string bytes = testing::readFile(file_);
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return StereoRecording(std::move(samples), kRate);
    }

private:
    // parec writes the samples to its standard output
    static ChildProcess::Options options(const fs::path& file) {
        return {{"parec", "-d", std::string(kSink) + ".monitor", "--format=s16le", "--rate=48000", "--channels=2",
                 "--latency-msec=20"},
                {},
                {},
                {},
                file};
    }

    fs::path file_;
    ChildProcess recorder_;
};

class QuellwaveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        display_ = new testing::XvfbTestDisplay();
        sound_ =
            new testing::PulseTestServer({{kSink, "device.form_factor=headphone", 2, static_cast<int>(kRate)}}, kSink);
    }
    static void TearDownTestSuite() {
        delete sound_;
        delete display_;
    }

    void SetUp() override {
        ASSERT_TRUE(display_->running()) << "Xvfb did not start";
        ASSERT_TRUE(sound_->running()) << sound_->log();
        char pattern[] = "/tmp/qw-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(folder_);
    }

    std::map<std::string, std::string> programEnvironment() const {
        // The graphics and sound libraries that the program loads at run time keep a few
        // allocations until exit; leak checks of our own code run in the unit tests.
        const char* asan = std::getenv("ASAN_OPTIONS");
        return {{"ALSOFT_DRIVERS", "pulse"},
                {"XDG_CONFIG_HOME", (folder_ / "config").string()},
                {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0:detect_leaks=0"}};
    }

    std::unique_ptr<ChildProcess> startProgram(const fs::path& workingFolder,
                                               std::map<std::string, std::string> environment) {
        return std::make_unique<ChildProcess>(ChildProcess::Options{{(kProgramFolder / "Quellwave").string()},
                                                                    std::move(environment),
                                                                    workingFolder,
                                                                    folder_ / "program.log",
                                                                    {}});
    }

    std::string programLog() const { return testing::readFile(folder_ / "program.log"); }

    Picture pictureOf(const std::string& window) {
        const auto picture = pictureOfWindow(window, folder_ / "picture.ppm");
        EXPECT_TRUE(picture.has_value()) << "no picture of the window";
        return picture.value_or(Picture{});
    }

    // Waits until the window shows something clearly different from `previous`.
    Picture waitForChange(const std::string& window, const Picture& previous, const char* what) {
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while (std::chrono::steady_clock::now() < deadline) {
            Picture now = pictureOf(window);
            if (now.differenceFrom(previous) > 0.02) return now;
            std::this_thread::sleep_for(50ms);
        }
        ADD_FAILURE() << "the window never changed to " << what << "\n" << programLog();
        return previous;
    }

    // Waits until two pictures a moment apart barely differ and the second one passes the
    // check: a screen without animation (a stalled frame of an animated one fails the check).
    template <class Check>
    Picture waitForStill(const std::string& window, std::chrono::seconds timeout, Check check, const char* what) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        Picture before = pictureOf(window);
        while (std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(200ms);
            Picture now = pictureOf(window);
            if (now.differenceFrom(before) < 0.01 && check(now)) return now;
            before = std::move(now);
        }
        ADD_FAILURE() << "the window never settled on " << what << "\n" << programLog();
        return before;
    }

    // The middle of the window, where the session's visual is brightest, shows the background.
    static bool darkMiddle(const Picture& picture) { return picture.meanBrightness(300, 200, 200, 200) < 80.0; }

    // Starts the program (from its build folder unless told otherwise) and waits for the drawn
    // warnings screen.
    void launch(std::map<std::string, std::string> environment, const fs::path& workingFolder = kProgramFolder) {
        ASSERT_TRUE(fs::exists(workingFolder / "fonts" / "arial.ttf")) << "fonts were not copied next to the program";
        ASSERT_TRUE(fs::exists(workingFolder / "data.qw")) << "the data file was not generated";
        program_ = startProgram(workingFolder, std::move(environment));
        const auto window = display_->waitForWindow("Quellwave", 30s);
        ASSERT_TRUE(window.has_value()) << programLog();
        window_ = *window;
        warnings_ = pictureOf(window_);
        for (const auto deadline = std::chrono::steady_clock::now() + 15s;
             warnings_.brightnessSpread() < kNotBlank && std::chrono::steady_clock::now() < deadline;) {
            std::this_thread::sleep_for(100ms);
            warnings_ = pictureOf(window_);
        }
        ASSERT_GT(warnings_.brightnessSpread(), kNotBlank) << "the warnings screen stayed blank\n" << programLog();
    }

    // Warnings -> selection -> the row's confirmation.
    void chooseExperience(int row) {
        ASSERT_TRUE(display_->click(window_, kWarningContinue[0], kWarningContinue[1]));
        selection_ = waitForChange(window_, warnings_, "the selection");
        EXPECT_GT(selection_.brightnessSpread(), kNotBlank);
        ASSERT_TRUE(display_->click(window_, 100, rowY(row)));
        ASSERT_TRUE(display_->click(window_, kSelectionContinue[0], kSelectionContinue[1]));
        confirmation_ = waitForChange(window_, selection_, "the confirmation");
        EXPECT_GT(confirmation_.brightnessSpread(), kNotBlank);
    }

    // Continue on the confirmation; returns once the session's first frame is shown (that frame
    // reads the data file and starts the sound first).
    void startSession() {
        ASSERT_TRUE(display_->click(window_, kConfirmationContinue[0], kConfirmationContinue[1]));
        waitForChange(window_, confirmation_, "the session");
    }

    void closeAndExpectNormalEnd() {
        ASSERT_TRUE(display_->requestClose(window_));
        const auto exitCode = program_->waitExit(20s);
        ASSERT_TRUE(exitCode.has_value()) << "the program did not end after its window closed\n" << programLog();
        EXPECT_EQ(*exitCode, 0) << programLog();
    }

    // A sound server of this test's own, which it can stop and start again; PULSE_SERVER names
    // its socket from here on, for the program and for recorders started later.
    static std::unique_ptr<testing::PulseTestServer> ownSoundServer() {
        return std::make_unique<testing::PulseTestServer>(
            std::vector<testing::PulseTestServer::Sink>{
                {kSink, "device.form_factor=headphone", 2, static_cast<int>(kRate)}},
            kSink);
    }

    // An error box opens for `reason`, standard error carries `text` for it, Return answers it
    // and the selection without a chosen row follows (returned in `selection`).
    void answerErrorBox(const std::string& text, const std::string& reason, Picture& selection) {
        const auto box = display_->waitForWindow("Error", 30s);
        ASSERT_TRUE(box.has_value()) << "no message box " << reason << "\n" << programLog();
        EXPECT_NE(programLog().find("Error: " + text), std::string::npos) << programLog();
        ASSERT_TRUE(display_->pressKey(*box, "Return"));
        selection = waitForStill(
            window_, 15s, [this](const Picture& p) { return p.differenceFrom(selection_) < 0.02; },
            ("the selection without a chosen row " + reason).c_str());
    }

    // Starts the program on `own` and a session, stops the server mid-session and answers the
    // box that says so (the selection that follows is returned in `selection`).
    void loseTheSoundServerMidSession(testing::PulseTestServer& own, Picture& selection) {
        ASSERT_TRUE(own.running()) << own.log();
        ASSERT_NO_FATAL_FAILURE(launch(programEnvironment()));
        ASSERT_NO_FATAL_FAILURE(chooseExperience(0));
        ASSERT_NO_FATAL_FAILURE(startSession());
        own.stop();
        answerErrorBox(
            "The sound output was lost: the sound server (PulseAudio or PipeWire) no longer answers. The session was "
            "stopped.",
            "after the sound server went", selection);
    }

    // From the shown selection: the row, Continue, then Continue on its confirmation.
    void startSessionFrom(const Picture& selection, int row) {
        ASSERT_TRUE(display_->click(window_, 100, rowY(row)));
        ASSERT_TRUE(display_->click(window_, kSelectionContinue[0], kSelectionContinue[1]));
        confirmation_ = waitForChange(window_, selection, "the confirmation");
        ASSERT_TRUE(display_->click(window_, kConfirmationContinue[0], kConfirmationContinue[1]));
    }

    std::unique_ptr<ChildProcess> program_;
    std::string window_;
    Picture warnings_;
    Picture selection_;
    Picture confirmation_;

    static testing::XvfbTestDisplay* display_;
    static testing::PulseTestServer* sound_;
    fs::path folder_;
};

testing::XvfbTestDisplay* QuellwaveTest::display_ = nullptr;
testing::PulseTestServer* QuellwaveTest::sound_ = nullptr;

TEST_F(QuellwaveTest, AListenerHearsTheSessionFadeInAndOutAndAnswersTheEndPrompt) {
    ASSERT_TRUE(fs::exists(kClockLibrary)) << "libfaketime is missing: run scripts/deps.sh";
    const fs::path clockFile = folder_ / "clock-offset";
    std::ofstream(clockFile) << "+0\n";
    auto environment = programEnvironment();
    environment["LD_PRELOAD"] = kClockLibrary.string();
    environment["FAKETIME_TIMESTAMP_FILE"] = clockFile.string();
    environment["FAKETIME_CACHE_DURATION"] = "1";

    SinkRecorder recorder(folder_ / "sink.raw");
    ASSERT_NO_FATAL_FAILURE(launch(environment));
    ASSERT_NO_FATAL_FAILURE(chooseExperience(3));  // "Light Relaxation"
    // 40 minutes on the slider (one description line: the track lies at y 355 + 5)
    ASSERT_TRUE(display_->click(window_, 300, 365));
    recorder.waitUntilRecorded(1.0);  // a silent lead-in before the session
    ASSERT_GT(recorder.secondsRecorded(), 0.9) << "the recorder does not run";
    const double sessionClick = recorder.secondsRecorded();
    ASSERT_NO_FATAL_FAILURE(startSession());
    const double sessionShown = recorder.secondsRecorded();

    // Listen for about fifteen seconds, then move the program's clock past the 40 minutes and let
    // it run ten times faster, so that the fade-out takes a second or two.
    recorder.waitUntilRecorded(sessionShown + 14.0);
    const Picture session = pictureOf(window_);
    EXPECT_GT(session.brightnessSpread(), kNotBlank);
    EXPECT_GT(session.differenceFrom(confirmation_), 0.05);
    EXPECT_FALSE(darkMiddle(session)) << "no visual in the session";
    std::ofstream(clockFile) << "+2500 x10\n";
    const double clockJump = recorder.secondsRecorded();

    // The fade-out, then the end screen asks and beeps.
    const Picture end = waitForStill(window_, 45s, darkMiddle, "the end screen");
    EXPECT_GT(end.differenceFrom(session), 0.05);
    EXPECT_GT(end.brightnessSpread(), kNotBlank);
    const double endShown = recorder.secondsRecorded();
    recorder.waitUntilRecorded(endShown + 1.0);
    const double beepHeard = recorder.secondsRecorded();
    ASSERT_TRUE(display_->click(window_, kYes[0], kYes[1]));
    const Picture selectionAgain = waitForChange(window_, end, "the selection after the answer");
    EXPECT_LT(selectionAgain.differenceFrom(selection_), 0.02) << "not the selection screen without a chosen row";
    ASSERT_NO_FATAL_FAILURE(closeAndExpectNormalEnd());

    const StereoRecording sound = recorder.stop();

    // Silence until the session starts, then the rising fade.
    const auto onset = sound.onset(1e-4);
    ASSERT_TRUE(onset.has_value()) << "nothing was heard";
    EXPECT_GT(*onset, sessionClick - 0.2);
    EXPECT_LT(*onset, sessionShown + 1.0);
    EXPECT_LT(sound.rms(0.0, *onset - 0.05), 1e-4);
    // The first steps of the rise stay well below the level the wobble and the swell keep
    // once the rise is over. Each frame takes at most one step, so on a loaded machine the rise
    // may stall for a while; six seconds on, it is over at any frame rate the test sees.
    const double later = std::min(*onset + 13.0, clockJump);
    EXPECT_LT(sound.rms(*onset + 0.05, *onset + 0.35), 0.6 * sound.rms(*onset + 6.0, later));

    // A beat between the ears: the opening stage of "Light Relaxation" starts a quarter above its
    // beat and glides down towards it.
    const double stageBeat = experienceProgram(12.0).stages.at(0).beat;
    const double beat = sound.beatBetweenChannels(*onset + 6.0, later, 5.0, 40.0);
    EXPECT_GE(beat, stageBeat - 0.3);
    EXPECT_LE(beat, stageBeat * 1.25 + 0.3);

    // The 440 Hz beep of the end screen after the fade-out. (Its repetition is not looked for:
    // the clock library does not translate every kind of timed wait of the beep thread.)
    const auto beep = sound.loudestToneWindow(0, 440.0, clockJump, beepHeard, 0.2);
    EXPECT_GT(beep.level, 0.05) << "no beep after the session";
    EXPECT_GT(beep.level, 5.0 * sound.toneLevel(0, 520.0, beep.start, beep.start + 0.2));
    EXPECT_LT(beep.start, endShown + 0.5);
    // Between the moved clock and the beep the sound reaches its full level (how soon depends on
    // the frame rate, which paces the envelope) and falls from it to nothing.
    double peak = 0.0;
    double peakAt = clockJump;
    for (double t = clockJump; t + 0.25 <= beep.start; t += 0.05) {
        if (const double level = sound.rms(t, t + 0.25); level > peak) {
            peak = level;
            peakAt = t;
        }
    }
    EXPECT_LT(peakAt, beep.start - 0.75) << "no fade-out before the end screen";
    // Clearly below the session's peak; the window can catch the fade-out's last, not yet
    // silent, quarter second on a loaded machine.
    EXPECT_LT(sound.rms(beep.start - 0.3, beep.start - 0.05), peak / 2.0) << "no fade-out before the end screen";
}

TEST_F(QuellwaveTest, ExitSessionStopsTheSoundAndReturnsToTheSelection) {
    SinkRecorder recorder(folder_ / "sink.raw");
    ASSERT_NO_FATAL_FAILURE(launch(programEnvironment()));
    ASSERT_NO_FATAL_FAILURE(chooseExperience(0));
    ASSERT_NO_FATAL_FAILURE(startSession());
    recorder.waitUntilRecorded(recorder.secondsRecorded() + 1.0);  // the buttons answer from the second frame on
    ASSERT_TRUE(display_->click(window_, kExitSession[0], kExitSession[1]));
    const Picture left = waitForStill(
        window_, 15s, [this](const Picture& p) { return p.differenceFrom(selection_) < 0.02; },
        "the selection without a chosen row after leaving the session");
    const double exitSeen = recorder.secondsRecorded();
    recorder.waitUntilRecorded(exitSeen + 1.0);
    ASSERT_NO_FATAL_FAILURE(closeAndExpectNormalEnd());

    const StereoRecording sound = recorder.stop();
    ASSERT_TRUE(sound.onset(1e-4).has_value()) << "the session played nothing";
    EXPECT_LT(sound.rms(exitSeen + 0.2, exitSeen + 1.0), 1e-4) << "the sound went on after leaving the session";
}

TEST_F(QuellwaveTest, AnUnusableDataFileEndsTheProgramWithItsMessageAlone) {
    const fs::path run = folder_ / "run";
    fs::create_directories(run);
    fs::copy(kProgramFolder / "fonts", run / "fonts");
    std::ofstream(run / "data.qw", std::ios::binary) << std::string(4096, '\x5a');
    ASSERT_NO_FATAL_FAILURE(launch(programEnvironment(), run));
    ASSERT_NO_FATAL_FAILURE(chooseExperience(0));
    ASSERT_TRUE(display_->click(window_, kConfirmationContinue[0], kConfirmationContinue[1]));

    const auto exitCode = program_->waitExit(20s);
    ASSERT_TRUE(exitCode.has_value()) << "the program did not end\n" << programLog();
    EXPECT_EQ(*exitCode, 1);
    // Every object of the sound library is released on the way out: nothing of it complains.
    EXPECT_EQ(programLog(), "Failed to load decrypted data into sf::SoundBuffer\n");
}

TEST_F(QuellwaveTest, AMissingFontsFolderIsReportedAndTheProgramEnds) {
    auto program = startProgram(folder_, programEnvironment());
    const auto dialog = display_->waitForWindow("Error", 30s);
    ASSERT_TRUE(dialog.has_value()) << programLog();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (programLog().find("Missing font (arial).") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_NE(programLog().find("Missing font (arial)."), std::string::npos) << programLog();
    ASSERT_TRUE(display_->pressKey(*dialog, "Return"));
    const auto exitCode = program->waitExit(20s);
    ASSERT_TRUE(exitCode.has_value()) << programLog();
    EXPECT_EQ(*exitCode, 0) << programLog();
}

// The sound server goes away during a session: a message box says so, the selection screen
// follows; a later session while the server is still away says that it is, and the program
// goes on and ends normally.
TEST_F(QuellwaveTest, LosingTheSoundServerMidSessionIsToldAndTheSelectionReturns) {
    auto own = ownSoundServer();
    Picture selection;
    ASSERT_NO_FATAL_FAILURE(loseTheSoundServerMidSession(*own, selection));

    ASSERT_NO_FATAL_FAILURE(startSessionFrom(selection, 1));
    ASSERT_NO_FATAL_FAILURE(
        answerErrorBox("The sound output could not be opened: the sound server (PulseAudio or "
                       "PipeWire) does not answer. The session was not started.",
                       "for a session while the sound server is away", selection));
    ASSERT_NO_FATAL_FAILURE(closeAndExpectNormalEnd());
}

// The sound server goes away during a session and comes back on the same socket: the next
// session opens the output afresh and is heard.
TEST_F(QuellwaveTest, ASessionAfterTheSoundServerCameBackIsHeard) {
    auto own = ownSoundServer();
    Picture selection;
    ASSERT_NO_FATAL_FAILURE(loseTheSoundServerMidSession(*own, selection));

    ASSERT_TRUE(own->start()) << own->log();
    SinkRecorder recorder(folder_ / "sink.raw");
    recorder.waitUntilRecorded(0.5);
    ASSERT_GT(recorder.secondsRecorded(), 0.4) << "the recorder does not run";
    const double sessionClick = recorder.secondsRecorded();
    ASSERT_NO_FATAL_FAILURE(startSessionFrom(selection, 1));
    waitForChange(window_, confirmation_, "the session");
    const double sessionShown = recorder.secondsRecorded();
    recorder.waitUntilRecorded(sessionShown + 2.0);
    ASSERT_FALSE(display_->waitForWindow("Error", 0ms).has_value()) << "the session after the server came back failed\n"
                                                                    << programLog();
    ASSERT_NO_FATAL_FAILURE(closeAndExpectNormalEnd());

    const StereoRecording sound = recorder.stop();
    const auto onset = sound.onset(1e-4);
    ASSERT_TRUE(onset.has_value()) << "the session after the server came back was silent\n" << programLog();
    EXPECT_GT(*onset, sessionClick - 0.2);
    EXPECT_LT(*onset, sessionShown + 1.0);
}

}  // namespace
}  // namespace quellwave::e2e

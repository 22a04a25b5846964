#include "app/ui/Startup.hpp"

#include "app/engine/AudioExperienceStream.hpp"
#include "app/platform/DesktopPlacement.hpp"
#include "app/platform/DisplayConnection.hpp"
#include "app/platform/Platform.hpp"
#include "app/ui/Globals.hpp"
#include "app/ui/MessageBoxes.hpp"

#include <SFML/Graphics/RenderWindow.hpp>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <system_error>

namespace quellwave::ui {

namespace fs = std::filesystem;
using platform::FormatSupport;
using platform::FormatTag;
using platform::MixFormat;
using platform::WaveFormat;

namespace {

constexpr std::uint16_t kStereo = 2;
constexpr std::uint32_t kFrontLeftAndRight = 0x3;
constexpr const char* kConfigFileName = "alsoft.ini";
constexpr const char* kDataFolderName = "Quellwave";

}  // namespace

WaveFormat extensibleFormat(std::uint32_t rate) {
    // The sub-format is integer PCM.
    return {.tag = FormatTag::Extensible,
            .channels = kStereo,
            .samplesPerSecond = rate,
            .averageBytesPerSecond = rate * 8,
            .blockAlign = 8,
            .bitsPerSample = 32,
            .extraSize = 22,
            .validBitsPerSample = 24,
            .channelMask = kFrontLeftAndRight};
}

WaveFormat pcmFormat(std::uint32_t rate) {
    return {.tag = FormatTag::Pcm,
            .channels = kStereo,
            .samplesPerSecond = rate,
            .averageBytesPerSecond = rate * 4,
            .blockAlign = 4,
            .bitsPerSample = 16};
}

std::array<WaveFormat, 6> exclusiveFormatsInOrder() {
    return {extensibleFormat(96000), pcmFormat(96000),        extensibleFormat(48000),
            pcmFormat(48000),        extensibleFormat(44100), pcmFormat(44100)};
}

bool probeOutputSampleRate(std::uint32_t& rate, OutputProblem* problem) {
    const auto fail = [problem](OutputProblem why) {
        if (problem != nullptr) {
            *problem = why;
        }
        return false;
    };
    platform::AudioEndpoints& endpoints = platform::currentPlatform().endpoints;
    const auto mixAnswer = endpoints.defaultMixFormat();
    if (const auto* failure = std::get_if<platform::EndpointFailure>(&mixAnswer)) {
        return fail(failure->step == platform::EndpointStep::Enumerator ? OutputProblem::NoSoundServer
                                                                        : OutputProblem::NoDefaultOutput);
    }
    const MixFormat* mix = &std::get<MixFormat>(mixAnswer);
    rate = mix->sampleRate;
    for (const WaveFormat& format : exclusiveFormatsInOrder()) {
        if (endpoints.exclusiveFormatSupport(format) == FormatSupport::Supported &&
            endpoints.initializeExclusive(format)) {
            rate = format.samplesPerSecond;
            return true;
        }
    }
    return endpoints.initializeShared(*mix) || fail(OutputProblem::SharedRefused);
}

std::string sampleRateFailureText(OutputProblem problem) {
    std::string text = "Failed to check or set sample rate.\n\n";
    switch (problem) {
    case OutputProblem::NoSoundServer: return text + "No sound server (PulseAudio or PipeWire) answered.";
    case OutputProblem::NoDefaultOutput: return text + "The sound server has no default output.";
    case OutputProblem::SharedRefused: break;
    }
    return text + "The default output accepts no stream.";
}

std::string programFolder() { return platform::currentPlatform().system.executablePath().parent_path().string(); }

std::string appDataFolder() {
    fs::path base = platform::currentPlatform().system.userSettingsFolder();
    if (base.empty()) {
        std::error_code ignored;
        base = fs::temp_directory_path(ignored);
    }
    const fs::path folder = base / kDataFolderName;
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    return folder.string();
}

std::string prepareOpenALConfig() {
    const fs::path source = fs::path(programFolder()) / kConfigFileName;
    const fs::path target = fs::path(appDataFolder()) / kConfigFileName;

    std::error_code ignored;
    if (!fs::exists(target, ignored) && fs::exists(source, ignored)) {
        try {
            fs::copy_file(source, target, fs::copy_options::skip_existing);
        } catch (const fs::filesystem_error& error) {
            showError(std::string("Failed to copy alsoft.ini: ") + error.what());
        }
    }
    if (!platform::currentPlatform().system.setEnvironment("ALSOFT_CONF", target.string())) {
        showError("Failed to set ALSOFT_CONF environment variable.");
    }
    return target.string();
}

std::string openALConfigText(std::uint32_t rate) {
    return "[General]\n"
           "period_size=4096\n"
           "periods=2\n"
           "sample-type=int16\n"
           "frequency=" +
           std::to_string(rate) +
           "\n"
           "hrtf=false\n"
           "exclusive-mode=true\n";
}

bool writeOpenALConfig(const fs::path& path, std::uint32_t rate) {
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        return false;
    }
    file << openALConfigText(rate);
    file.close();  // flushes: a full disk shows here
    return !file.fail();
}

std::optional<std::string> openProgramWindow() {
    if (auto problem = platform::displayProblem()) {
        return problem;
    }
    window().create(sf::VideoMode(800, 600, 32), "Quellwave", sf::Style::Titlebar | sf::Style::Close);
    platform::settleOnDesktop(window());
    window().setFramerateLimit(60);
    return std::nullopt;
}

void closeProgramWindow() { window().close(); }

int runQuellwave(const ProgramParts& parts) {
    platform::Platform& os = platform::currentPlatform();
    if (const auto problem = parts.openWindow()) {
        std::cerr << *problem << std::endl;
        return 1;
    }

    std::uint32_t rate = kInitialSampleRate;
    OutputProblem problem = OutputProblem::NoSoundServer;
    if (!probeOutputSampleRate(rate, &problem)) {
        // Nothing draws into the window from here on: a window left open would not answer.
        parts.closeWindow();
        showError(sampleRateFailureText(problem));
        os.system.waitForCharacter();
        return 1;
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    sampleRate = rate;

    const std::string configPath = prepareOpenALConfig();
    if (!writeOpenALConfig(configPath, rate)) {
        showError("Failed to write to initialize configuration file");
    }

    const int exitCode = parts.runMainLoop();
    shutDown();
    return exitCode;
}

void shutDown() {
    if (stream) {
        stream->stop();
        stream.reset();
    }
    platform::currentPlatform().display.allowSleep();
}

}  // namespace quellwave::ui

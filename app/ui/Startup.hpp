#pragma once

#include "app/platform/AudioEndpoints.hpp"
#include "app/ui/Globals.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace quellwave::ui {

// 24-bit samples in 32-bit stereo frames, and 16-bit stereo PCM, at `rate`.
platform::WaveFormat extensibleFormat(std::uint32_t rate);
platform::WaveFormat pcmFormat(std::uint32_t rate);

// The formats tried for the output's own use, best first.
std::array<platform::WaveFormat, 6> exclusiveFormatsInOrder();

// Why the output cannot be used.
enum class OutputProblem {
    NoSoundServer,    // no sound server answered
    NoDefaultOutput,  // the server names no default output, or it cannot be read
    SharedRefused,    // the default output opens neither for its own use nor shared
};

// Finds the rate to play at: the first format of exclusiveFormatsInOrder() that the default
// output takes for its own use alone, else its mix rate when it opens shared. Writes the rate
// and returns true when one was found; false when the output cannot be used (`rate` then holds
// the mix rate when that was read, else is unchanged; `problem`, when given, says why).
bool probeOutputSampleRate(std::uint32_t& rate, OutputProblem* problem = nullptr);

// The message shown when no rate was found.
std::string sampleRateFailureText(OutputProblem problem);

// Folder of the program file, without a trailing separator.
std::string programFolder();

// The per-user data folder ".../Quellwave", created when missing. Where the system names no
// settings folder, a folder under the temporary directory.
std::string appDataFolder();

// Puts the per-user alsoft.ini in place (copied from the program folder when there is none
// yet), points ALSOFT_CONF at it and returns its path. Problems are shown and start-up goes on.
std::string prepareOpenALConfig();

// The audio back end's configuration for playing at `rate`.
std::string openALConfigText(std::uint32_t rate);

// Replaces the file at `path` with openALConfigText(rate); false unless every byte reached it.
bool writeOpenALConfig(const std::filesystem::path& path, std::uint32_t rate);

// The steps of a run that need a display or the screens.
struct ProgramParts {
    // Returns the line that says why no window could be opened, or nothing once it is open.
    std::function<std::optional<std::string>()> openWindow;
    std::function<void()> closeWindow;
    std::function<int()> runMainLoop;  // returns the program's exit code
};

// Opens the program's 800 x 600 window, centred on the desktop, when the display opens;
// otherwise returns the line that says which display could not be opened.
std::optional<std::string> openProgramWindow();
void closeProgramWindow();

// The whole run: window, sample-rate probe, random seed, audio configuration, main loop and
// shut-down. Returns the process exit code: 0 after a normal run, 1 without a display (its line
// goes to standard error) or when no output is usable (the window is closed before that is
// shown).
int runQuellwave(const ProgramParts& parts);

// Stops and releases what a session left behind and lets the display sleep again.
void shutDown();

}  // namespace quellwave::ui

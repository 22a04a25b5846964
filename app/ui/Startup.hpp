#pragma once

#include "app/platform/AudioEndpoints.hpp"
#include "app/ui/Globals.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace quellwave::ui {

// 24-bit samples in 32-bit stereo frames, and 16-bit stereo PCM, at `rate`.
platform::WaveFormat extensibleFormat(std::uint32_t rate);
platform::WaveFormat pcmFormat(std::uint32_t rate);

// The formats tried for the output's own use, best first.
std::array<platform::WaveFormat, 6> exclusiveFormatsInOrder();

// Finds the rate to play at: the first format of exclusiveFormatsInOrder() that the default
// output takes for its own use alone, else its mix rate when it opens shared. Writes the rate
// and returns true when one was found; false when the output cannot be used (`rate` then holds
// the mix rate when that was read, else is unchanged).
bool probeOutputSampleRate(std::uint32_t& rate);

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
    std::function<void()> openWindow;
    std::function<int()> runMainLoop;  // returns the program's exit code
};

// Opens the program's 800 x 600 window.
void openProgramWindow();

// The whole run: window, sample-rate probe, random seed, audio configuration, main loop and
// shut-down. Returns the process exit code: 0 after a normal run, 1 when no output is usable.
int runQuellwave(const ProgramParts& parts);

// Stops and releases what a session left behind and lets the display sleep again.
void shutDown();

}  // namespace quellwave::ui

#pragma once

#include "tests/platform/ScopedEnvironment.hpp"
#include "tests/platform/TempFolder.hpp"

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quellwave::testing {

// A private sound server for one test: `pulseaudio` in a temporary folder, reachable only
// through its own socket, with null sinks whose properties the test chooses. While it runs,
// PULSE_SERVER points this process at it.
class PulseTestServer {
public:
    struct Sink {
        std::string name;
        std::string properties;  // e.g. "device.form_factor=headphone"
        int channels = 2;
        int rate = 48000;
    };

    static bool binaryAvailable();

    // Starts the server with `sinks` and `defaultSink` as its default output; `extraLines` are
    // further lines of its start-up script (e.g. to load an effects sink).
    PulseTestServer(const std::vector<Sink>& sinks, const std::string& defaultSink,
                    const std::vector<std::string>& extraLines = {});
    ~PulseTestServer();
    PulseTestServer(const PulseTestServer&) = delete;
    PulseTestServer& operator=(const PulseTestServer&) = delete;

    // True once the server answers on its socket.
    bool running() const { return running_; }
    // What the server printed (for failure messages).
    std::string log() const;

    // Ends the server; PULSE_SERVER keeps naming its socket, where nobody answers now.
    void stop();
    // Starts the server again on the same socket with the same sinks; true once it answers.
    bool start();

private:
    TempFolder folder_{"qw-pulse-"};
    pid_t pid_ = -1;
    bool running_ = false;
    std::optional<ScopedEnvironment> serverVariable_;
};

// Points PULSE_SERVER at a socket nobody listens on, for the test's lifetime.
class NoSoundServer {
public:
    NoSoundServer();
    NoSoundServer(const NoSoundServer&) = delete;
    NoSoundServer& operator=(const NoSoundServer&) = delete;

private:
    TempFolder folder_{"qw-nopulse-"};
    ScopedEnvironment serverVariable_;
};

}  // namespace quellwave::testing

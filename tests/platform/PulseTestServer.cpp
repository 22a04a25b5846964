#include "tests/platform/PulseTestServer.hpp"

#include "app/platform/PulseClient.hpp"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quellwave::testing {
namespace {

constexpr const char* kBinary = "/usr/bin/pulseaudio";
constexpr auto kStartTimeout = std::chrono::seconds(15);

std::string script(const std::vector<PulseTestServer::Sink>& sinks, const std::string& defaultSink,
                   const std::vector<std::string>& extraLines, const std::filesystem::path& socket) {
    std::ostringstream text;
    text << "load-module module-native-protocol-unix socket=" << socket.string() << " auth-anonymous=1\n";
    for (const auto& sink : sinks) {
        text << "load-module module-null-sink sink_name=" << sink.name << " channels=" << sink.channels
             << " rate=" << sink.rate;
        if (!sink.properties.empty()) {
            text << " sink_properties=\"" << sink.properties << "\"";
        }
        text << '\n';
    }
    for (const auto& line : extraLines) {
        text << line << '\n';
    }
    if (!defaultSink.empty()) {
        text << "set-default-sink " << defaultSink << '\n';
    }
    return text.str();
}

}  // namespace

bool PulseTestServer::binaryAvailable() { return access(kBinary, X_OK) == 0; }

PulseTestServer::PulseTestServer(const std::vector<Sink>& sinks, const std::string& defaultSink,
                                 const std::vector<std::string>& extraLines) {
    std::ofstream(folder_.path() / "server.pa") << script(sinks, defaultSink, extraLines, folder_.path() / "native");
    serverVariable_.emplace("PULSE_SERVER", "unix:" + (folder_.path() / "native").string());
    start();
}

PulseTestServer::~PulseTestServer() {
    stop();
    serverVariable_.reset();
}

bool PulseTestServer::start() {
    if (pid_ > 0) {
        return running_;
    }
    const auto socket = folder_.path() / "native";
    const auto scriptPath = folder_.path() / "server.pa";
    const auto logPath = folder_.path() / "server.log";

    pid_ = fork();
    if (pid_ == 0) {
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        const std::string home = folder_.path().string();
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("PULSE_RUNTIME_PATH", (home + "/runtime").c_str(), 1);
        setenv("PULSE_STATE_PATH", (home + "/state").c_str(), 1);
        unsetenv("PULSE_SERVER");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        // Nor a bus started for the X display: two servers would claim the same name on it.
        unsetenv("DISPLAY");
        execl(kBinary, kBinary, "-n", "-F", scriptPath.c_str(), "--exit-idle-time=-1", "--daemonize=no",
              "--use-pid-file=no", "--disable-shm=yes", "--log-target=stderr", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid_ < 0) {
        return false;
    }

    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;  // it gave up; log() says why
            return false;
        }
        if (std::filesystem::exists(socket) &&
            platform::PulseClient(platform::PulseTiming{std::chrono::milliseconds(500)}).connected()) {
            running_ = true;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void PulseTestServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    running_ = false;
}

std::string PulseTestServer::log() const { return readFile(folder_.path() / "server.log"); }

NoSoundServer::NoSoundServer() : serverVariable_("PULSE_SERVER", "unix:" + (folder_.path() / "native").string()) {}

}  // namespace quellwave::testing

#include "sim/bluez/PrivateBus.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace VexaSim {

namespace {

// Everyone on the bus may own any name and talk to anyone: the bus serves one test.
constexpr const char* kConfiguration =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>custom</type>
  <listen>unix:path=@SOCKET@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
)";

}  // namespace

PrivateBus::PrivateBus() {
    char folder[] = "/tmp/ak-bus-XXXXXX";
    if (!mkdtemp(folder)) throw std::runtime_error("Cannot make a folder for the bus");
    folder_ = folder;
    const std::string socket = folder_ + "/bus";
    std::string configuration = kConfiguration;
    configuration.replace(configuration.find("@SOCKET@"), 8, socket);
    const std::string configFile = folder_ + "/bus.conf";
    std::ofstream(configFile) << configuration;

    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("Cannot make a pipe for the bus");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3);
    // Its complaints (it may not raise its descriptor limit here) are of no interest, and it
    // keeps none of the test's output streams: a daemon left behind by a crashed test must not
    // hold the test runner's pipes open.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> arguments{"dbus-daemon", "--config-file=" + configFile, "--nofork", "--nosyslog",
                                       "--print-address=3"};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&daemon_, "dbus-daemon", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        daemon_ = -1;
        throw std::runtime_error("Cannot start dbus-daemon");
    }
    // The daemon prints its address once it listens.
    std::string line;
    char c = 0;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n') line.push_back(c);
    close(pipeFds[0]);
    if (line.empty()) throw std::runtime_error("dbus-daemon did not start");
    address_ = line;
}

PrivateBus::~PrivateBus() {
    if (daemon_ > 0) {
        kill(daemon_, SIGTERM);
        int status = 0;
        waitpid(daemon_, &status, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

SystemBusOverride::SystemBusOverride(const std::string& address) {
    if (const char* previous = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) {
        hadValue_ = true;
        previous_ = previous;
    }
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
}

SystemBusOverride::~SystemBusOverride() {
    if (hadValue_) {
        setenv("DBUS_SYSTEM_BUS_ADDRESS", previous_.c_str(), 1);
    } else {
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
}

}  // namespace VexaSim

#include "tools/qwpack/SpeechSynthesizer.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace qwpack {

namespace {

// Both ends of a pipe, closed when they go out of scope.
class Pipe {
public:
    Pipe() {
        if (::pipe(ends_.data()) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    int readEnd() const { return ends_[0]; }
    int writeEnd() const { return ends_[1]; }
    void closeRead() { closeEnd(0); }
    void closeWrite() { closeEnd(1); }

private:
    void closeEnd(int index) {
        if (ends_[index] >= 0) ::close(ends_[index]);
        ends_[index] = -1;
    }
    std::array<int, 2> ends_{-1, -1};
};

std::vector<std::uint8_t> readAll(int fd) {
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, 65536> chunk{};
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got == 0) return bytes;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error(std::string("reading speech: ") + std::strerror(errno));
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    }
}

int waitForExit(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

PcmAudio SpeechSynthesizer::speak(const std::string& text) const {
    const std::string speed = std::to_string(voice_.wordsPerMinute);
    std::vector<std::string> args{voice_.program, "-v", voice_.language, "-s", speed, "--stdout", text};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    Pipe output;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output.writeEnd(), STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output.readEnd());
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, voice_.program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot run " + voice_.program + ": " + std::strerror(spawned));
    }
    output.closeWrite();
    std::vector<std::uint8_t> bytes;
    try {
        bytes = readAll(output.readEnd());
    } catch (...) {
        waitForExit(child);
        throw;
    }
    if (waitForExit(child) != 0) throw std::runtime_error(voice_.program + " failed on \"" + text + "\"");

    std::optional<PcmAudio> audio = parseWav(bytes);
    if (!audio || audio->channelCount != 1 || audio->samples.empty()) {
        throw std::runtime_error(voice_.program + " gave no mono speech for \"" + text + "\"");
    }
    return std::move(*audio);
}

}  // namespace qwpack

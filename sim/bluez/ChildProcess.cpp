#include "sim/bluez/ChildProcess.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace VexaSim {

namespace {

std::optional<int> reap(pid_t pid, int options) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, options);
    if (done != pid) return std::nullopt;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

bool programAvailable(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

ChildProcess::ChildProcess(std::vector<std::string> arguments,
                           std::vector<std::pair<std::string, std::string>> environment) {
    // Everything the child needs is made before the fork: after it only async-signal-safe calls.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto& [name, value] : environment) replaced = replaced || text.rfind(name + "=", 0) == 0;
        if (!replaced) variables.push_back(text);
    }
    for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    // Sockets rather than pipes: writing to a program that ended fails instead of raising
    // SIGPIPE, and the reader can be stopped while a descendant still holds the other end.
    int in[2];
    int out[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) {
        throw std::runtime_error("Cannot make a socket for " + arguments.at(0));
    }
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out) != 0) {
        close(in[0]);
        close(in[1]);
        throw std::runtime_error("Cannot make a socket for " + arguments.at(0));
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The program dies with the test process, even one that crashed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (pid_ < 0) {
        close(in[1]);
        close(out[0]);
        throw std::runtime_error("Cannot start " + arguments.at(0));
    }
    input_ = in[1];
    outputFd_ = out[0];
    reader_ = std::thread([this] {
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(outputFd_, buffer, sizeof(buffer));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return;
            std::lock_guard lock(mutex_);
            output_.append(buffer, static_cast<size_t>(got));
        }
    });
}

ChildProcess::~ChildProcess() {
    closeInput();
    if (!status_) {
        kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!(status_ = reap(pid_, WNOHANG)) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!status_) {
            kill(pid_, SIGKILL);
            status_ = reap(pid_, 0);
        }
    }
    // Descendants may still hold the other end: the reader stops on this end shutting down.
    shutdown(outputFd_, SHUT_RDWR);
    reader_.join();
    close(outputFd_);
}

void ChildProcess::write(const std::string& text) {
    size_t done = 0;
    while (input_ >= 0 && done < text.size()) {
        const ssize_t wrote = send(input_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;
        done += static_cast<size_t>(wrote);
    }
}

void ChildProcess::closeInput() {
    if (input_ < 0) return;
    close(input_);
    input_ = -1;
}

std::string ChildProcess::output() const {
    std::lock_guard lock(mutex_);
    return output_;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!status_) {
        status_ = reap(pid_, WNOHANG);
        if (status_ || std::chrono::steady_clock::now() >= end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status_;
}

}  // namespace VexaSim

#include "tests/e2e/quellwave/ChildProcess.hpp"

#include "tests/platform/TestProcess.hpp"

#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quellwave::e2e {
namespace {

// This process's environment with the given variables added or replaced.
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!changes.contains(text.substr(0, text.find('=')))) result.push_back(text);
    }
    for (const auto& [name, value] : changes) result.push_back(name + "=" + value);
    return result;
}

std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (const std::string& text : strings) result.push_back(const_cast<char*>(text.c_str()));
    result.push_back(nullptr);
    return result;
}

void redirect(const std::filesystem::path& path, int target) {
    const int fd = path.empty() ? open("/dev/null", O_WRONLY) : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
        dup2(fd, target);
        close(fd);
    }
}

}  // namespace

ChildProcess::ChildProcess(const Options& options) {
    // Everything the child needs is prepared here: after fork it only redirects and executes.
    const std::vector<std::string> environment = environmentWith(options.environment);
    std::vector<char*> argv = pointers(options.argv);
    std::vector<char*> envp = pointers(environment);

    pid_ = fork();
    if (pid_ != 0) {
        return;
    }
    const int input = open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    redirect(options.output, STDOUT_FILENO);
    redirect(options.output, STDERR_FILENO);
    if (!options.standardOutput.empty()) redirect(options.standardOutput, STDOUT_FILENO);
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    if (!options.workingFolder.empty() && chdir(options.workingFolder.c_str()) != 0) _exit(126);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
}

ChildProcess::~ChildProcess() { terminate(); }

bool ChildProcess::running() { return pid_ > 0 && !waitExit(std::chrono::milliseconds(0)); }

std::optional<int> ChildProcess::waitExit(std::chrono::milliseconds timeout) {
    if (exitCode_ || pid_ <= 0) {
        return exitCode_;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exitCode_ = testing::exitCodeOf(status);
            return exitCode_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

void ChildProcess::terminate() {
    if (pid_ <= 0 || exitCode_) {
        return;
    }
    kill(pid_, SIGTERM);
    if (!waitExit(std::chrono::seconds(5))) {
        kill(pid_, SIGKILL);
        waitExit(std::chrono::seconds(5));
    }
}

}  // namespace quellwave::e2e

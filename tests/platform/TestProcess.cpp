#include "tests/platform/TestProcess.hpp"

#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quellwave::testing {

ProcessResult runProcess(const std::vector<std::string>& arguments) {
    ProcessResult result;
    int pipeEnds[2];
    if (arguments.empty() || pipe(pipeEnds) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);

    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned == 0) {
        char buffer[4096];
        ssize_t count = 0;
        while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
            result.output.append(buffer, static_cast<std::size_t>(count));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = exitCodeOf(status);
    }
    close(pipeEnds[0]);
    return result;
}

int exitCodeOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return WEXITSTATUS(waitStatus);
    }
    return WIFSIGNALED(waitStatus) ? -WTERMSIG(waitStatus) : -1;
}

std::optional<int> waitForExit(pid_t child, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return exitCodeOf(status);
}

}  // namespace quellwave::testing

#include "sdk/core/Log.hpp"

#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

namespace VexaDevice::Utility {

namespace {

constexpr const char* kLoggerName = "sdk_log";
constexpr const char* kLogFile = "logs/sdk_log.log";

// The logger handed out now; empty once the log is closed. It lives in static storage and is
// never destroyed, so that a library thread still running during static destruction finds it,
// and it holds nothing on the heap after the close (the library may be unloaded after that).
struct CurrentLog {
    std::mutex mutex;
    std::shared_ptr<spdlog::logger> logger;
};

CurrentLog& currentLog() {
    alignas(CurrentLog) static unsigned char storage[sizeof(CurrentLog)];
    static CurrentLog* const current = new (storage) CurrentLog;
    return *current;
}

// Built at load and closed at unload: the process-wide lifetime of the log. Lines in
// flight keep the logger they hold; the file closes with the last of them.
struct LogLifetime {
    LogLifetime() { ensureLog(); }
    ~LogLifetime() { closeLog(); }
};

const LogLifetime lifetime;

}  // namespace

int initLog() {
    std::vector<spdlog::sink_ptr> sinks;
    try {
        sinks.push_back(std::make_shared<spdlog::sinks::basic_file_sink_mt>(kLogFile, true));
    } catch (const std::exception& error) {
        spdlog::warn("Can't init log file: {}", error.what());
    }
    try {
        sinks.push_back(std::make_shared<spdlog::sinks::stdout_color_sink_mt>());
    } catch (const std::exception& error) {
        spdlog::warn("Can't init log stdout color: {}", error.what());
    }
    auto logger = std::make_shared<spdlog::logger>(kLoggerName, sinks.begin(), sinks.end());
    logger->set_level(spdlog::level::debug);
    if (!sinks.empty()) {
        spdlog::set_default_logger(logger);
    }
    spdlog::set_level(spdlog::level::debug);
    std::lock_guard guard(currentLog().mutex);
    currentLog().logger = sinks.empty() ? spdlog::default_logger() : std::move(logger);
    return 1;
}

int ensureLog() {
    static const int built = initLog();
    return built;
}

void closeLog() {
    ensureLog();
    std::shared_ptr<spdlog::logger> open;
    {
        std::lock_guard guard(currentLog().mutex);
        open = std::exchange(currentLog().logger, nullptr);
    }
    if (open) {
        open->flush();
    }
    spdlog::shutdown();
}

LogHandle sdkLog() {
    ensureLog();
    {
        std::lock_guard guard(currentLog().mutex);
        if (currentLog().logger) {
            return LogHandle(currentLog().logger);
        }
    }
    // Closed: a logger without sinks, so the line goes nowhere.
    return LogHandle(std::make_shared<spdlog::logger>(kLoggerName));
}

}  // namespace VexaDevice::Utility

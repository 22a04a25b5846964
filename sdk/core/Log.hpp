#pragma once

#include <memory>
#include <utility>

#include <spdlog/logger.h>

namespace VexaDevice::Utility {

// The library's one log, "sdk_log": file "logs/sdk_log.log" below the host's
// current folder (emptied at every load) and a coloured console, level debug.
// It is built once per process when the library loads; the first call from any
// other static initialiser builds it as well.

// Builds the logger and returns 1. Called once, through ensureLog().
int initLog();

// Thread-safe one-time initialisation; returns 1.
int ensureLog();

// Closes the log, as the library does when it unloads: later lines go nowhere,
// lines already holding a handle still reach the file.
void closeLog();

// A shared reference to the log: the logger and its sinks live as long as any
// handle does, so a line written while the library unloads on another thread
// finishes on the logger it started with.
class LogHandle {
public:
    explicit LogHandle(std::shared_ptr<spdlog::logger> logger) : logger_(std::move(logger)) {}

    template <typename... Args>
    void trace(spdlog::format_string_t<Args...> format, Args&&... args) const {
        logger_->trace(format, std::forward<Args>(args)...);
    }
    template <typename... Args>
    void debug(spdlog::format_string_t<Args...> format, Args&&... args) const {
        logger_->debug(format, std::forward<Args>(args)...);
    }
    template <typename... Args>
    void info(spdlog::format_string_t<Args...> format, Args&&... args) const {
        logger_->info(format, std::forward<Args>(args)...);
    }
    template <typename... Args>
    void warn(spdlog::format_string_t<Args...> format, Args&&... args) const {
        logger_->warn(format, std::forward<Args>(args)...);
    }
    template <typename... Args>
    void error(spdlog::format_string_t<Args...> format, Args&&... args) const {
        logger_->error(format, std::forward<Args>(args)...);
    }

    template <typename T>
    void trace(const T& message) const {
        logger_->trace(message);
    }
    template <typename T>
    void debug(const T& message) const {
        logger_->debug(message);
    }
    template <typename T>
    void info(const T& message) const {
        logger_->info(message);
    }
    template <typename T>
    void warn(const T& message) const {
        logger_->warn(message);
    }
    template <typename T>
    void error(const T& message) const {
        logger_->error(message);
    }

    bool should_log(spdlog::level::level_enum level) const { return logger_->should_log(level); }

    spdlog::logger* operator->() const { return logger_.get(); }
    spdlog::logger& operator*() const { return *logger_; }

private:
    std::shared_ptr<spdlog::logger> logger_;
};

// The log every part of the library writes to, e.g.
//   sdkLog().warn("[BLEChannel][startNotify] {}", text);
// Never fails: once the log is closed at unload, messages go nowhere.
LogHandle sdkLog();

}  // namespace VexaDevice::Utility

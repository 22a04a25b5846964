#include "sdk/core/Log.hpp"

#include <exception>
#include <memory>
#include <vector>

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

namespace VexaDevice::Utility {

namespace {

constexpr const char* kLoggerName = "sdk_log";
constexpr const char* kLogFile = "logs/sdk_log.log";

// Built at load and closed at unload: the process-wide lifetime of the log.
struct LogLifetime {
    LogLifetime() { ensureLog(); }
    ~LogLifetime() { spdlog::shutdown(); }
};

const LogLifetime lifetime;

} // namespace

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
    if (!sinks.empty()) {
        spdlog::set_default_logger(std::make_shared<spdlog::logger>(kLoggerName, sinks.begin(), sinks.end()));
    }
    spdlog::set_level(spdlog::level::debug);
    return 1;
}

int ensureLog() {
    static const int built = initLog();
    return built;
}

spdlog::logger& sdkLog() {
    ensureLog();
    if (auto* logger = spdlog::default_logger_raw()) {
        return *logger;
    }
    // After unload has closed the log: a logger without sinks, kept for the process.
    static auto* const closed = new spdlog::logger(kLoggerName);
    return *closed;
}

} // namespace VexaDevice::Utility

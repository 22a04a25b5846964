#include "sdk/core/Log.hpp"

#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

namespace VexaDevice::Utility {

namespace {

constexpr const char* kLoggerName = "sdk_log";
constexpr const char* kLogFile = "logs/sdk_log.log";

// The log file, truncated when it opens. Closing it at unload is safe while threads the
// library left running still log: a closed file drops their messages.
class ClosableFileSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    explicit ClosableFileSink(const std::string& path)
        : file_(std::make_unique<spdlog::sinks::basic_file_sink_st>(path, true)) {}

    void close() {
        std::lock_guard lock(mutex_);
        if (file_) file_->flush();
        file_.reset();
    }

protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        if (file_) file_->log(message);
    }
    void flush_() override {
        if (file_) file_->flush();
    }
    void set_pattern_(const std::string& pattern) override {
        if (file_) file_->set_pattern(pattern);
    }
    void set_formatter_(std::unique_ptr<spdlog::formatter> formatter) override {
        if (file_) file_->set_formatter(std::move(formatter));
    }

private:
    std::unique_ptr<spdlog::sinks::basic_file_sink_st> file_;
};

struct LogState {
    std::shared_ptr<spdlog::logger> logger;
    std::shared_ptr<ClosableFileSink> file;
};

LogState buildLog() {
    LogState state;
    std::vector<spdlog::sink_ptr> sinks;
    try {
        state.file = std::make_shared<ClosableFileSink>(kLogFile);
        sinks.push_back(state.file);
    } catch (const std::exception& error) {
        spdlog::warn("Can't init log file: {}", error.what());
    }
    try {
        sinks.push_back(std::make_shared<spdlog::sinks::stdout_color_sink_mt>());
    } catch (const std::exception& error) {
        spdlog::warn("Can't init log stdout color: {}", error.what());
    }
    state.logger = std::make_shared<spdlog::logger>(kLoggerName, sinks.begin(), sinks.end());
    state.logger->set_level(spdlog::level::debug);
    return state;
}

// Never destroyed: a worker or delivery thread that outlives unload may still log, and must
// find a live logger rather than a destroyed one.
LogState& logState() {
    static auto* const state = new LogState(buildLog());
    return *state;
}

// Built at load; at unload the log is flushed and its file closed.
struct LogLifetime {
    LogLifetime() { ensureLog(); }
    ~LogLifetime() {
        LogState& state = logState();
        state.logger->flush();
        if (state.file) state.file->close();
    }
};

const LogLifetime lifetime;

} // namespace

int initLog() {
    logState();
    return 1;
}

int ensureLog() {
    static const int built = initLog();
    return built;
}

spdlog::logger& sdkLog() {
    ensureLog();
    return *logState().logger;
}

} // namespace VexaDevice::Utility

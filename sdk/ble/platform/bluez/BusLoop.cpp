#include "sdk/ble/platform/bluez/BusLoop.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <vector>

#include "sdk/ble/platform/PlatformTypes.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

constexpr int32_t busUnreachableCode = 0x1F;

struct ReplyContext {
    BusLoop::ReplyHandler handler;
};

int onReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto* context = static_cast<ReplyContext*>(userdata);
    CallOutcome outcome;
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
        outcome.errorName = error->name ? error->name : "org.freedesktop.DBus.Error.Failed";
        outcome.errorMessage = error->message ? error->message : "";
    }
    context->handler(reply, outcome);
    return 1;
}

void destroyReplyContext(void* userdata) { delete static_cast<ReplyContext*>(userdata); }

struct MatchContext {
    BusLoop::MessageHandler handler;
};

int onMatch(sd_bus_message* message, void* userdata, sd_bus_error*) {
    static_cast<MatchContext*>(userdata)->handler(message);
    return 0;
}

void destroyMatchContext(void* userdata) { delete static_cast<MatchContext*>(userdata); }

}  // namespace

void PendingCall::complete(CallOutcome outcome) {
    std::lock_guard lock(mutex_);
    if (completed_) return;
    completed_ = true;
    outcome_ = std::move(outcome);
    done_.notify_all();
}

CallOutcome PendingCall::wait(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!done_.wait_until(lock, deadline, [&] { return completed_; })) {
        completed_ = true;
        outcome_ = {"org.freedesktop.DBus.Error.Timeout", "The call was not answered in time."};
    }
    return outcome_;
}

BusLoop::BusLoop(const std::string& address) {
    int r = sd_bus_new(&bus_);
    if (r >= 0) r = sd_bus_set_address(bus_, address.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(bus_, 1);
    if (r >= 0) r = sd_bus_start(bus_);
    if (r < 0) {
        sd_bus_unref(bus_);
        bus_ = nullptr;
        throw PlatformError{busUnreachableCode,
                            "Cannot connect to the D-Bus bus at " + address + ": " + std::strerror(-r)};
    }
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { loop(); });
}

void BusLoop::stop() {
    stopping_.store(true);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof(one));
    if (thread_.joinable()) thread_.join();
}

BusLoop::~BusLoop() {
    stop();
    // Tasks never run are dropped here; nothing they hold needs the connection.
    posted_.clear();
    sd_bus_flush_close_unref(bus_);
    close(wakeFd_);
}

void BusLoop::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(task));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof(one));
}

void BusLoop::run(const Task& task) {
    if (onLoopThread()) {
        task(bus_);
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    post([&task, done](sd_bus* bus) {
        task(bus);
        done->set_value();
    });
    // A loop that stops first drops the task and with it the promise.
    try {
        finished.get();
    } catch (const std::future_error&) {}
}

void BusLoop::callAsync(sd_bus_message* call, std::chrono::microseconds timeout, ReplyHandler handler) {
    auto* context = new ReplyContext{std::move(handler)};
    sd_bus_slot* slot = nullptr;
    const int r = sd_bus_call_async(bus_, &slot, call, onReply, context, static_cast<uint64_t>(timeout.count()));
    sd_bus_message_unref(call);
    if (r < 0) {
        CallOutcome outcome{"org.freedesktop.DBus.Error.Disconnected", std::strerror(-r)};
        context->handler(nullptr, outcome);
        delete context;
        return;
    }
    sd_bus_slot_set_destroy_callback(slot, destroyReplyContext);
    sd_bus_slot_set_floating(slot, 1);
    sd_bus_slot_unref(slot);
}

void BusLoop::addMatch(const std::string& rule, MessageHandler handler) {
    auto* context = new MatchContext{std::move(handler)};
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_match_async(bus_, &slot, rule.c_str(), onMatch, nullptr, context) < 0) {
        delete context;
        return;
    }
    sd_bus_slot_set_destroy_callback(slot, destroyMatchContext);
    sd_bus_slot_set_floating(slot, 1);
    sd_bus_slot_unref(slot);
}

void BusLoop::watch(int fd, std::function<void()> onReadable) { watched_[fd] = std::move(onReadable); }

void BusLoop::unwatch(int fd) { watched_.erase(fd); }

void BusLoop::after(std::chrono::milliseconds delay, std::function<void()> task) {
    due_.emplace(std::chrono::steady_clock::now() + delay, std::move(task));
}

void BusLoop::runDue() {
    const auto now = std::chrono::steady_clock::now();
    while (!due_.empty() && due_.begin()->first <= now) {
        auto task = std::move(due_.begin()->second);
        due_.erase(due_.begin());
        task();
    }
}

void BusLoop::onBroken(std::function<void()> handler) { broken_ = std::move(handler); }

void BusLoop::runPosted() {
    std::deque<Task> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(posted_);
    }
    for (auto& task : tasks) task(bus_);
}

bool BusLoop::processBus() {
    for (;;) {
        const int r = sd_bus_process(bus_, nullptr);
        if (r == 0) return true;
        if (r < 0) return false;
    }
}

void BusLoop::loop() {
    while (!stopping_.load()) {
        runPosted();
        runDue();
        if (connected_.load() && !processBus()) {
            connected_.store(false);
            if (broken_) broken_();
        }
        if (stopping_.load()) break;

        std::vector<pollfd> fds;
        fds.push_back({wakeFd_, POLLIN, 0});
        int timeoutMs = -1;
        if (connected_.load()) {
            const int events = sd_bus_get_events(bus_);
            fds.push_back({sd_bus_get_fd(bus_), static_cast<short>(events < 0 ? POLLIN : events), 0});
            uint64_t until = 0;
            if (sd_bus_get_timeout(bus_, &until) > 0 && until != UINT64_MAX) {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                const uint64_t nowUs =
                    static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
                timeoutMs = until <= nowUs ? 0 : static_cast<int>((until - nowUs + 999) / 1000);
            }
        }
        if (!due_.empty()) {
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(due_.begin()->first - std::chrono::steady_clock::now());
            const int dueMs = static_cast<int>(std::max<int64_t>(0, wait.count()));
            timeoutMs = timeoutMs < 0 ? dueMs : std::min(timeoutMs, dueMs);
        }
        const size_t fixed = fds.size();
        std::vector<int> watchedFds;
        for (const auto& [fd, handler] : watched_) {
            fds.push_back({fd, POLLIN, 0});
            watchedFds.push_back(fd);
        }
        if (poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(wakeFd_, &count, sizeof(count));
        }
        for (size_t i = fixed; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            // A handler may unwatch (or close) descriptors, its own included.
            auto found = watched_.find(watchedFds[i - fixed]);
            if (found == watched_.end()) continue;
            auto handler = found->second;
            handler();
        }
    }
}

sd_bus_message* newMethodCall(sd_bus* bus, const std::string& destination, const std::string& path,
                              const std::string& interface, const std::string& member) {
    sd_bus_message* message = nullptr;
    if (sd_bus_message_new_method_call(bus, &message, destination.c_str(), path.c_str(), interface.c_str(),
                                       member.c_str()) < 0) {
        return nullptr;
    }
    return message;
}

}  // namespace VexaDevice::BLE::Platform::Bluez

#pragma once
// One D-Bus connection and the thread that owns it. sd-bus objects belong to one thread: every
// use of the connection (building messages, calls, signal handlers, exported objects) happens
// on the loop thread, reached from other threads with post().

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct sd_bus;
struct sd_bus_message;

namespace VexaDevice::BLE::Platform::Bluez {

// Outcome of one method call: empty errorName means success.
struct CallOutcome {
    std::string errorName;
    std::string errorMessage;
    bool ok() const { return errorName.empty(); }
};

// A method call a caller thread waits for; completed once, by the reply or by whoever gives up
// on it first (a lost link fails calls in flight at once).
class PendingCall {
public:
    void complete(CallOutcome outcome);
    // The outcome, or a timeout error once the deadline passes.
    CallOutcome wait(std::chrono::steady_clock::time_point deadline);

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool completed_ = false;
    CallOutcome outcome_;
};

class BusLoop {
public:
    using Task = std::function<void(sd_bus*)>;
    using ReplyHandler = std::function<void(sd_bus_message* reply, const CallOutcome& outcome)>;
    using MessageHandler = std::function<void(sd_bus_message*)>;

    // Connects to the bus at the address (a D-Bus address string) and starts the loop; throws
    // PlatformError when the bus cannot be reached.
    explicit BusLoop(const std::string& address);
    // Stops the loop and closes the connection; pending reply handlers are dropped unrun.
    ~BusLoop();
    // Stops the loop thread (not from itself); posted tasks no longer run.
    void stop();
    BusLoop(const BusLoop&) = delete;
    BusLoop& operator=(const BusLoop&) = delete;

    void post(Task task);
    // Runs the task on the loop and returns once it ran (inline when already on the loop).
    void run(const Task& task);
    bool onLoopThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    // False once the connection to the bus broke.
    bool connected() const { return connected_.load(); }

    // Loop thread only.
    sd_bus* bus() const { return bus_; }
    // Loop thread only. Sends the call (taking it over); the handler runs on the loop with the
    // reply, the error, or a timeout.
    void callAsync(sd_bus_message* call, std::chrono::microseconds timeout, ReplyHandler handler);
    // Loop thread only. Calls the handler for every message matching the rule, for the life of
    // the loop.
    void addMatch(const std::string& rule, MessageHandler handler);
    // Loop thread only. Calls onReadable whenever the descriptor has data or hangs up, until
    // unwatch(). The loop does not own the descriptor.
    void watch(int fd, std::function<void()> onReadable);
    void unwatch(int fd);
    // Loop thread only. Runs the task on the loop once the delay has passed.
    void after(std::chrono::milliseconds delay, std::function<void()> task);
    // Called on the loop thread once when the connection to the bus breaks.
    void onBroken(std::function<void()> handler);

private:
    void loop();
    void runPosted();
    void runDue();
    bool processBus();

    sd_bus* bus_ = nullptr;
    int wakeFd_ = -1;
    std::atomic<bool> connected_{true};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::deque<Task> posted_;
    std::map<int, std::function<void()>> watched_;                                     // loop thread only
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> due_;  // loop thread only
    std::function<void()> broken_;                                                     // loop thread only
    std::thread thread_;
};

// Builds a method call on the loop thread; nullptr when sd-bus refused it.
sd_bus_message* newMethodCall(sd_bus* bus, const std::string& destination, const std::string& path,
                              const std::string& interface, const std::string& member);

}  // namespace VexaDevice::BLE::Platform::Bluez

#pragma once
// Tasks run on a bus loop once their delay has passed, off timer descriptors the loop watches:
// nothing sleeps, and the tasks run where everything else of the loop's owner runs.

#include <chrono>
#include <functional>
#include <map>

#include "sdk/ble/platform/bluez/BusLoop.hpp"

namespace VexaSim {

class LoopTimers {
public:
    explicit LoopTimers(VexaDevice::BLE::Platform::Bluez::BusLoop& loop) : loop_(loop) {}
    LoopTimers(const LoopTimers&) = delete;
    LoopTimers& operator=(const LoopTimers&) = delete;

    // Loop thread only. A zero delay runs the task on the loop's next turn.
    void after(std::chrono::milliseconds delay, std::function<void()> task);
    // Loop thread only: runs every pending task now, in the order they were due.
    void flush();

private:
    void fire(int fd);

    VexaDevice::BLE::Platform::Bluez::BusLoop& loop_;
    std::multimap<std::chrono::steady_clock::time_point, std::pair<int, std::function<void()>>> pending_;
};

}  // namespace VexaSim

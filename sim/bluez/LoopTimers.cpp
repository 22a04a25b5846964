#include "sim/bluez/LoopTimers.hpp"

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace VexaSim {

void LoopTimers::after(std::chrono::milliseconds delay, std::function<void()> task) {
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0) throw std::runtime_error("no timer descriptor");
    // A zero it_value would disarm the timer: the shortest delay is a nanosecond.
    const auto nanos = std::max<long long>(std::chrono::nanoseconds(delay).count(), 1);
    itimerspec spec{};
    spec.it_value.tv_sec = static_cast<time_t>(nanos / 1000000000);
    spec.it_value.tv_nsec = static_cast<long>(nanos % 1000000000);
    timerfd_settime(fd, 0, &spec, nullptr);
    pending_.emplace(std::chrono::steady_clock::now() + delay, std::pair{fd, std::move(task)});
    loop_.watch(fd, [this, fd] { fire(fd); });
}

void LoopTimers::fire(int fd) {
    auto found = std::find_if(pending_.begin(), pending_.end(), [&](const auto& entry) { return entry.second.first == fd; });
    if (found == pending_.end()) return;
    auto task = std::move(found->second.second);
    pending_.erase(found);
    loop_.unwatch(fd);
    ::close(fd);
    task();
}

void LoopTimers::flush() {
    while (!pending_.empty()) fire(pending_.begin()->second.first);
}

}  // namespace VexaSim

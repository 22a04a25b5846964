#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <shared_mutex>
#include <thread>

#include "sdk/core/CvWait.hpp"
#include "tests/core/WaitFor.hpp"

using VexaDevice::Testing::waitFor;
using VexaDevice::Utility::CvWait;
using namespace std::chrono_literals;

TEST(CvWait, NotifyWakesAWaiterLongBeforeItsTimeOut) {
    CvWait wake;
    std::atomic<bool> woken{false};
    std::thread waiter([&] {
        auto held = wake.lock();
        wake.wait(held, std::chrono::hours(1));
        EXPECT_TRUE(held.owns_lock());
        woken = true;
    });
    wake.notify();
    EXPECT_TRUE(waitFor([&] { return woken.load(); }));
    waiter.join();
}

TEST(CvWait, AWakeUpSentWhileNobodyWaitsIsKeptForTheNextWaitAndCountsOnce) {
    CvWait wake;
    wake.notify();
    wake.notify();
    auto held = wake.lock();
    const auto start = std::chrono::steady_clock::now();
    wake.wait(held, std::chrono::hours(1));  // returns at once: the wake-up was kept
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_TRUE(held.owns_lock());
    // Both notifications were taken by that one wait.
    const auto second = std::chrono::steady_clock::now();
    wake.wait(held, 5ms);
    EXPECT_GE(std::chrono::steady_clock::now() - second, 5ms);
}

TEST(CvWait, TimeOutReturnsWithTheLockHeld) {
    CvWait wake;
    auto held = wake.lock();
    const auto start = std::chrono::steady_clock::now();
    wake.wait(held, 5ms);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 5ms);
    EXPECT_TRUE(held.owns_lock());
}

TEST(CvWait, RefusesALockThatIsNotItsOwn) {
    CvWait wake;
    std::shared_mutex other;
    std::unique_lock foreign(other);
    EXPECT_THROW(wake.wait(foreign, 1ms), std::logic_error);
    auto released = wake.lock();
    released.unlock();
    EXPECT_THROW(wake.wait(released, 1ms), std::logic_error);
}

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "sdk/core/CvWait.hpp"
#include "tests/support/WaitFor.hpp"

using TestSupport::waitFor;
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
    std::mutex other;
    std::unique_lock foreign(other);
    EXPECT_THROW(wake.wait(foreign, 1ms), std::logic_error);
    auto released = wake.lock();
    released.unlock();
    EXPECT_THROW(wake.wait(released, 1ms), std::logic_error);
}

// Each notification lands somewhere in the waiter's loop: before its wait, during it, or
// while it is still counting the previous one. None may be lost (the waiter's time-out is an
// hour: a lost wake-up stalls the test).
TEST(CvWait, NoWakeUpIsLostWhereverItLandsInTheWaitersLoop) {
    constexpr int rounds = 2000;
    CvWait wake;
    std::atomic<int> woken{0};
    std::thread waiter([&] {
        auto held = wake.lock();
        for (int i = 0; i < rounds; ++i) {
            wake.wait(held, std::chrono::hours(1));
            woken.fetch_add(1);
        }
    });
    bool delivered = true;
    for (int i = 1; i <= rounds && delivered; ++i) {
        wake.notify();
        delivered = waitFor([&] { return woken.load() == i; });
    }
    EXPECT_TRUE(delivered);
    while (woken.load() < rounds) {
        wake.notify();  // lets the waiter finish after a failure
        std::this_thread::yield();
    }
    waiter.join();
}

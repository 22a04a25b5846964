#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "sdk/api/DeliveryGate.hpp"

using namespace std::chrono_literals;
using VexaDevice::Api::DeliveryGate;

TEST(DeliveryGate, CloseWaitsForADeliveryOnAnotherThread) {
    DeliveryGate gate;
    std::promise<void> inside;
    std::promise<void> finish;
    std::atomic<bool> delivered{false};
    std::thread delivery([&] {
        const auto pass = gate.enter();
        ASSERT_TRUE(pass);
        inside.set_value();
        finish.get_future().wait();
        delivered = true;
    });
    inside.get_future().wait();

    auto closed = std::async(std::launch::async, [&] {
        gate.closeAndWait();
        return delivered.load();
    });
    EXPECT_EQ(closed.wait_for(30ms), std::future_status::timeout) << "closed while a delivery ran";
    finish.set_value();
    EXPECT_TRUE(closed.get()) << "closed before the delivery ended";
    delivery.join();
}

TEST(DeliveryGate, NoDeliveryStartsAfterClose) {
    DeliveryGate gate;
    gate.closeAndWait();
    EXPECT_FALSE(gate.enter());
    std::thread other([&] { EXPECT_FALSE(gate.enter()); });
    other.join();
}

TEST(DeliveryGate, ClosingFromInsideADeliveryDoesNotWaitForItself) {
    DeliveryGate gate;
    auto closedInside = std::async(std::launch::async, [&] {
        const auto outer = gate.enter();
        const auto nested = gate.enter();
        gate.closeAndWait();
        return static_cast<bool>(outer) && static_cast<bool>(nested);
    });
    ASSERT_EQ(closedInside.wait_for(10s), std::future_status::ready) << "closing from inside a delivery hung";
    EXPECT_TRUE(closedInside.get());
}

TEST(DeliveryGate, ManyDeliveriesAndOneClose) {
    DeliveryGate gate;
    std::atomic<int> running{0};
    std::atomic<bool> overlapAfterClose{false};
    std::atomic<bool> closed{false};
    std::vector<std::thread> deliveries;
    for (int t = 0; t < 4; ++t) {
        deliveries.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                if (const auto pass = gate.enter()) {
                    ++running;
                    if (closed) {
                        overlapAfterClose = true;
                    }
                    --running;
                }
            }
        });
    }
    gate.closeAndWait();
    closed = true;
    EXPECT_EQ(running.load(), 0);
    for (auto& thread : deliveries) {
        thread.join();
    }
    EXPECT_FALSE(overlapAfterClose);
}

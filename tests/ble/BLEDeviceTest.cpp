#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>

#include "sdk/ble/BLEDevice.hpp"
#include "tests/ble/SimDevice.hpp"
#include "tests/support/WaitFor.hpp"

using namespace VexaDevice::BLE;
using namespace BleTest;
using Platform::GattStatus;
using Platform::PairingKind;
using Platform::PairingStatus;
using TestSupport::waitFor;

namespace {

struct DeviceFixture : ::testing::Test, SimDevice {
    std::string creationError(PairingParam pairing = {}) {
        try {
            open(pairing);
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return "no error";
    }
};

// Counts the events of a device's connection bus. A delivery already under way runs to its end
// after the counter's owner is gone, so the count lives as long as the subscriber.
struct ConnectionEvents {
    std::shared_ptr<std::atomic<int>> counter = std::make_shared<std::atomic<int>>(0);
    std::atomic<int>& count = *counter;
    std::shared_ptr<ConnectionBus::Callback> subscriber =
        std::make_shared<ConnectionBus::Callback>([counter = counter] { ++*counter; });
    explicit ConnectionEvents(IBLEDevice& device) { device.connectionChangedEvent().lock()->subscribe(subscriber); }
};

}  // namespace

using BLEDeviceDiscovery = DeviceFixture;

TEST_F(BLEDeviceDiscovery, ChannelsCarryTheirModes) {
    auto device = open();
    EXPECT_EQ(device->name(), "Morvex");
    EXPECT_EQ(device->id().toString(), "A1:B2:C3:D4:E5:F6");
    EXPECT_FALSE(device->isDisconnected());
    auto channels = device->getChannels();
    ASSERT_EQ(channels.size(), 3u);
    EXPECT_EQ(channels[0]->characteristicUuid(), statusUuid);
    EXPECT_EQ(channels[0]->modes(), (std::vector<int32_t>{ChannelMode::Read, ChannelMode::Notify}));
    EXPECT_EQ(channels[1]->modes(), (std::vector<int32_t>{ChannelMode::Write}));
    EXPECT_EQ(device->getChannelMap().at(serviceUuid).size(), 3u);
}

TEST_F(BLEDeviceDiscovery, SucceedsOnTheThirdAttempt) {
    peer->scriptServicesStatuses({GattStatus::Unreachable, GattStatus::Unreachable});
    auto device = open();
    EXPECT_EQ(peer->servicesQueries(), 3);
    EXPECT_EQ(device->getChannels().size(), 3u);
}

TEST_F(BLEDeviceDiscovery, FailsAfterThreeAttempts) {
    peer->scriptServicesStatuses({GattStatus::Unreachable, GattStatus::Unreachable, GattStatus::Unreachable});
    EXPECT_EQ(creationError(), "Cannot create BLE device: GetGattServices Failed: Unreachable");
    EXPECT_EQ(peer->servicesQueries(), 3);

    service->scriptCharacteristicsStatuses(
        {GattStatus::AccessDenied, GattStatus::AccessDenied, static_cast<GattStatus>(7)});
    EXPECT_EQ(creationError(),
              "Cannot create BLE device: GetCharacteristics Failed: [code]: [7] Service UUID: "
              "6E400001-B534-F393-68A9-E50E24DCCA9E");
}

TEST_F(BLEDeviceDiscovery, UnreachableAddress) {
    peer->setReachable(false);
    EXPECT_EQ(creationError(), "Cannot create BLE device: Device is not reachable. Device object pointer is null.");
}

using BLEDevicePairing = DeviceFixture;

TEST_F(BLEDevicePairing, Outcomes) {
    // Not asked for: no pairing at all.
    peer->setPairing({true, false, PairingKind::ConfirmOnly, PairingStatus::Paired});
    open();
    EXPECT_EQ(peer->pairingAttempts(), 0);

    // A display-pin request is accepted and pairs.
    peer->setPairing({true, false, PairingKind::DisplayPin, PairingStatus::Paired});
    open({1});
    EXPECT_EQ(peer->pairingAttempts(), 1);
    EXPECT_TRUE(peer->pairing().isPaired);

    // Already paired: not paired again.
    open({1});
    EXPECT_EQ(peer->pairingAttempts(), 1);

    peer->setPairing({true, false, PairingKind::ConfirmOnly, PairingStatus::AuthenticationFailure});
    EXPECT_EQ(creationError({1}),
              "Cannot create BLE device: Device pairing failed. Pairing result: [AuthenticationFailure]");

    peer->setPairing({true, false, PairingKind::ProvidePin, PairingStatus::Paired});
    EXPECT_EQ(creationError({1}),
              "Cannot create BLE device: Device pairing failed. Pairing result: [RejectedByHandler]");

    peer->setPairing({false, false, PairingKind::ConfirmOnly, PairingStatus::Paired});
    EXPECT_EQ(creationError({1}), "Cannot create BLE device: Device pairing failed: [Forbidden pairing]");
}

TEST_F(BLEDevicePairing, AlreadyPairedCountsAsPaired) {
    peer->setPairing({true, false, PairingKind::ConfirmOnly, PairingStatus::AlreadyPaired});
    EXPECT_NO_THROW(open({1}));
    EXPECT_EQ(peer->pairingAttempts(), 1);
}

using BLEDeviceConnection = DeviceFixture;

// The link-up of the creating discovery is reported late, as stacks do: counts below allow
// for that one extra event.
TEST_F(BLEDeviceConnection, LinkLossPostsAnEventAndConnectRediscovers) {
    auto device = open();
    ConnectionEvents events(*device);
    device->connect();  // connected already: nothing happens
    EXPECT_EQ(peer->servicesQueries(), 1);
    peer->dropLink();
    ASSERT_TRUE(waitFor([&] { return events.count >= 1; }));
    ASSERT_TRUE(waitFor([&] { return peer->connectionHandlerCount() == 0; }));
    EXPECT_TRUE(device->isDisconnected());
    const int beforeConnect = events.count;

    device->connect();
    EXPECT_FALSE(device->isDisconnected());
    ASSERT_TRUE(waitFor([&] { return events.count > beforeConnect; }));
    EXPECT_EQ(peer->servicesQueries(), 2);
    EXPECT_EQ(peer->connectionHandlerCount(), 1u);
}

TEST_F(BLEDeviceConnection, DisconnectClosesAndPublishes) {
    auto device = open();
    ConnectionEvents events(*device);
    device->disconnect();
    EXPECT_TRUE(device->isDisconnected());
    EXPECT_FALSE(peer->isConnected());
    EXPECT_EQ(peer->connectionHandlerCount(), 0u);
    ASSERT_TRUE(waitFor([&] { return events.count >= 1; }));
    device->disconnect();  // closed already: nothing happens
    EXPECT_FALSE(peer->isConnected());

    // A stack slow to let go: the poll runs out and the event is still published.
    device->connect();
    ASSERT_TRUE(waitFor([&] { return events.count >= 2; }));
    const int beforeDisconnect = events.count;
    peer->setLingerAfterClose(true);
    const auto started = std::chrono::steady_clock::now();
    device->disconnect();
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));  // 500 polls of 1 ms
    EXPECT_TRUE(device->isDisconnected());
    EXPECT_TRUE(peer->isConnected());
    ASSERT_TRUE(waitFor([&] { return events.count > beforeDisconnect; }));
}

TEST_F(BLEDeviceConnection, FailedConnectReportsTheCause) {
    auto device = open();
    device->disconnect();
    peer->setReachable(false);
    try {
        device->connect();
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(),
                     "Failed connect to BLE device: Device is not reachable. Device object pointer is null.");
    }
}

TEST_F(BLEDeviceConnection, ReconnectKeepsOneStatusHandler) {
    auto device = open();
    // The link drops but the device has not heard of it yet when connect runs.
    radio->pause();
    peer->dropLink();
    device->connect();
    radio->resume();
    radio->drain();
    EXPECT_EQ(peer->connectionHandlerCount(), 1u);
}

TEST_F(BLEDeviceConnection, DisconnectionDuringConnectIsNotLost) {
    auto timing = fastTiming();
    timing.discoveryRetryPause = std::chrono::milliseconds(100);  // long enough for the event to arrive
    auto device = open({}, timing);
    radio->pause();
    peer->dropLink();
    peer->scriptServicesStatuses({GattStatus::Unreachable, GattStatus::Unreachable, GattStatus::Unreachable});
    // connect holds the device lock through its retries; the link-loss event arrives meanwhile.
    auto connecting = std::async(std::launch::async, [&] { EXPECT_THROW(device->connect(), std::runtime_error); });
    ASSERT_TRUE(waitFor([&] { return peer->servicesQueries() >= 2; }));  // first retry under way
    radio->resume();
    connecting.get();
    radio->drain();
    // The disconnection was processed: the device let go of the stack's handler.
    EXPECT_TRUE(waitFor([&] { return peer->connectionHandlerCount() == 0; }));
    EXPECT_TRUE(device->isDisconnected());
}

TEST(BLEDeviceLifetime, EventsRacingDestructionFindNothingToCall) {
    SimDevice sim;
    for (int round = 0; round < 30; ++round) {
        auto device = sim.open();
        ConnectionEvents events(*device);
        sim.peer->dropLink();
        if (round % 3 == 0) sim.radio->drain();
        device.reset();
    }
    sim.radio->drain();
}

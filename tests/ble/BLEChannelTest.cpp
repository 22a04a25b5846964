#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>

#include "sdk/ble/BLEChannel.hpp"
#include "tests/ble/SimDevice.hpp"
#include "tests/support/WaitFor.hpp"

using namespace VexaDevice::BLE;
using namespace BleTest;
using TestSupport::waitFor;

namespace {

// Collects what a channel's data bus delivers.
struct Received {
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> values;
    std::shared_ptr<DataBus::Callback> subscriber =
        std::make_shared<DataBus::Callback>([this](const std::vector<uint8_t>& v) {
            std::lock_guard lock(mutex);
            values.push_back(v);
        });
    explicit Received(IBLEChannel& channel) { channel.dataEvent().lock()->subscribe(subscriber); }
    std::vector<std::vector<uint8_t>> snapshot() {
        std::lock_guard lock(mutex);
        return values;
    }
};

struct ChannelFixture : ::testing::Test, SimDevice {
    std::shared_ptr<BLEDevice> device = open();
    std::shared_ptr<IBLEChannel> channel(const VexaDevice::Utility::UUID& uuid) {
        return device->getChannelMap().at(serviceUuid).at(uuid);
    }
};

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace

TEST(BLEChannelConstruction, RejectsMissingParts) {
    auto info = std::make_shared<RawChannelInfo>(serviceUuid, statusUuid, std::vector<int32_t>{ChannelMode::Read});
    EXPECT_EQ(errorOf([&] { BLEChannel(nullptr, nullptr); }), "Raw Channel Info cannot be null.");
    EXPECT_EQ(errorOf([&] { BLEChannel(info, nullptr); }), "Gatt Characteristic cannot be null.");
    EXPECT_TRUE(info->supports(ChannelMode::Read));
    EXPECT_FALSE(info->supports(ChannelMode::Notify));
    EXPECT_EQ(info->characteristicUuidText(), "6E400002-B534-F393-68A9-E50E24DCCA9E");
}

using BLEChannelNotify = ChannelFixture;

TEST_F(BLEChannelNotify, NotificationsReachTheBusIncludingEmptyValues) {
    auto data = channel(dataUuid);
    Received received(*data);
    data->startNotify();
    data->startNotify();  // already on: the descriptor is written once
    EXPECT_EQ(this->data->clientConfigurationWrites(), 1);
    EXPECT_TRUE(data->isNotifying());
    EXPECT_TRUE(this->data->notify({1, 2, 3}));
    EXPECT_TRUE(this->data->notify({}));
    radio->drain();
    EXPECT_EQ(received.snapshot(), (std::vector<std::vector<uint8_t>>{{1, 2, 3}, {}}));

    data->stopNotify();
    EXPECT_FALSE(data->isNotifying());
    EXPECT_FALSE(this->data->isNotifying()) << "the device was told to stop sending";
    EXPECT_EQ(this->data->clientConfigurationWrites(), 2);
    this->data->notify({9});
    radio->drain();
    EXPECT_EQ(received.snapshot().size(), 2u);
}

TEST_F(BLEChannelNotify, RefusalsThrowTheirTexts) {
    EXPECT_EQ(errorOf([&] { channel(commandUuid)->startNotify(); }),
              "Unable start notify: [6E400003-B534-F393-68A9-E50E24DCCA9E] [unsupported mode]");
    data->failNextClientConfigurationWrites(1, Platform::GattStatus::AccessDenied);
    auto channelOfData = channel(dataUuid);
    EXPECT_EQ(errorOf([&] { channelOfData->startNotify(); }),
              "Unable set notification callback: [6E400004-B534-F393-68A9-E50E24DCCA9E]");
    EXPECT_FALSE(channelOfData->isNotifying());
    channelOfData->startNotify();
    EXPECT_TRUE(channelOfData->isNotifying());
}

TEST_F(BLEChannelNotify, NotificationResumesAfterRediscoveryAndStopWhileDetachedKeepsItPending) {
    auto data = channel(dataUuid);
    auto status = channel(statusUuid);
    Received receivedData(*data);
    Received receivedStatus(*status);
    data->startNotify();
    status->startNotify();

    peer->dropLink();
    // Processed once the device let go of the platform's connection handler.
    ASSERT_TRUE(waitFor([&] { return peer->connectionHandlerCount() == 0; }));
    EXPECT_TRUE(device->isDisconnected());
    std::vector<uint8_t> value;
    EXPECT_FALSE(status->read(value));  // detached: fails at once
    EXPECT_FALSE(channel(commandUuid)->write({1}));
    status->stopNotify();  // detached: nothing changes, notification stays pending
    EXPECT_TRUE(status->isNotifying());

    device->connect();
    EXPECT_EQ(channel(dataUuid), data);  // the same channel object, re-attached
    EXPECT_TRUE(this->data->notify({7}));
    EXPECT_TRUE(this->status->notify({8}));
    radio->drain();
    EXPECT_EQ(receivedData.snapshot(), (std::vector<std::vector<uint8_t>>{{7}}));
    EXPECT_EQ(receivedStatus.snapshot(), (std::vector<std::vector<uint8_t>>{{8}}));
}

TEST_F(BLEChannelNotify, ReleasedSubscriberAndDestroyedChannelStopDelivery) {
    auto data = channel(dataUuid);
    {
        Received received(*data);
        data->startNotify();
    }
    EXPECT_TRUE(this->data->notify({1}));  // nobody listens any more: delivered to no one
    radio->drain();
    device.reset();
    data.reset();
    // The link closes with the device; a delivery still finishing may hold it a moment longer.
    EXPECT_TRUE(waitFor([&] { return !this->data->notify({2}); }));
    radio->drain();
}

using BLEChannelReadWrite = ChannelFixture;

TEST_F(BLEChannelReadWrite, ReadAppendsAndWriteReportsTheAcknowledgement) {
    auto status = channel(statusUuid);
    std::vector<uint8_t> value{9, 9, 9};
    EXPECT_TRUE(status->read(value));
    EXPECT_EQ(value, (std::vector<uint8_t>{9, 9, 9, 0x01, 0x02}));
    this->status->failNextReads(1, Platform::GattStatus::ProtocolError);
    EXPECT_FALSE(status->read(value));
    EXPECT_EQ(value.size(), 5u);

    auto command = channel(commandUuid);
    EXPECT_TRUE(command->write({0xA5, 0x01}));
    this->command->failNextWrites(1, Platform::GattStatus::Unreachable);
    EXPECT_FALSE(command->write({0xA5, 0x02}));
    EXPECT_EQ(this->command->writes(), (std::vector<std::vector<uint8_t>>{{0xA5, 0x01}}));
    this->command->onWrite(
        [](const std::vector<uint8_t>&) -> Platform::GattStatus { throw std::runtime_error("device fell over"); });
    EXPECT_FALSE(command->write({1}));  // a failure inside the write reports false
}

TEST(BLEChannelConcurrency, NotificationsRaceStopAndDestruction) {
    SimDevice sim;
    for (int round = 0; round < 20; ++round) {
        auto device = sim.open();
        auto data = device->getChannelMap().at(serviceUuid).at(dataUuid);
        std::atomic<int> calls{0};
        auto subscriber = std::make_shared<DataBus::Callback>([&](const std::vector<uint8_t>&) { ++calls; });
        data->dataEvent().lock()->subscribe(subscriber);
        data->startNotify();
        for (int i = 0; i < 20; ++i) sim.data->notify({static_cast<uint8_t>(i)});
        if (round % 2 == 0) data->stopNotify();
        device.reset();
        data.reset();
        subscriber.reset();  // once the channel is gone no delivery may reach this frame
        sim.radio->drain();
        sim.peer->dropLink();
    }
}

// The device, its Device Information record and its status link as one piece: what cannot be a
// device is refused, and a lost link that comes back has its record and status read anew.

#include "sdk/devices/common/IdentifiedLink.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/RtException.hpp"
#include "tests/devices/common/FakeBleDevice.hpp"
#include "tests/devices/common/FakeChannel.hpp"

namespace {

using namespace VexaDevice;
using DevicesTest::FakeChannel;

std::vector<uint8_t> text(const std::string& value) { return {value.begin(), value.end()}; }

struct Identified : ::testing::Test {
    std::shared_ptr<FakeChannel> serial = std::make_shared<FakeChannel>();
    std::shared_ptr<FakeChannel> model = std::make_shared<FakeChannel>();
    std::shared_ptr<FakeChannel> hardware = std::make_shared<FakeChannel>();
    std::shared_ptr<FakeChannel> firmware = std::make_shared<FakeChannel>();
    std::shared_ptr<FakeChannel> status = std::make_shared<FakeChannel>();
    BLE::ServiceChannels information{{Utility::kSerialNumberCharacteristic, serial},
                                     {Utility::kModelNumberCharacteristic, model},
                                     {Utility::kHardwareRevisionCharacteristic, hardware},
                                     {Utility::kFirmwareRevisionCharacteristic, firmware}};
    Devices::IdentifiedLink linked{std::make_shared<DevicesTest::FakeBleDevice>(), information};

    // The record the device gives at its next reads: first the one at creation, then `later`.
    Identified() {
        serial->scriptReads({text("SN-FIRST"), text("SN-LATER")});
        model->scriptReads({text("80.1"), text("80.1")});
        hardware->scriptReads({text("1.0.0"), text("1.0.0")});
        firmware->scriptReads({text("1.4.2"), text("1.5.0")});
        status->scriptReads({std::vector<uint8_t>{76, 0, 2, 0}, std::vector<uint8_t>{33, 0, 1, 0}});
    }

    void openLink() {
        linked.readIdentity();
        linked.open(status, std::make_shared<FakeChannel>(), {}, {}).readStatus();
    }
};

}  // namespace

TEST_F(Identified, WhatCannotBeADeviceIsRefusedBeforeAnythingIsRead) {
    const auto refusal = [](Devices::IdentifiedLink& candidate) {
        try {
            candidate.readIdentity();
        } catch (const Utility::rt_exception& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    Devices::IdentifiedLink noInformation(std::make_shared<DevicesTest::FakeBleDevice>(), {});
    EXPECT_EQ(refusal(noInformation), "DeviceInfo Service cannot be empty.");
    Devices::IdentifiedLink noDevice(nullptr, information);
    EXPECT_EQ(refusal(noDevice), "BLE device cannot be null.");
    EXPECT_EQ(serial->reads(), 0);
}

TEST_F(Identified, OnlyALinkThatWasLostIsReadAnewWhenItIsBack) {
    openLink();
    EXPECT_EQ(linked.version().serialText(), "SN-FIRST");
    EXPECT_EQ(linked.link().battery(), 76);

    linked.relink();
    EXPECT_EQ(serial->reads(), 1) << "a link that never went needs no new reads";
    EXPECT_EQ(status->reads(), 1);

    linked.link().markLinkLost();
    linked.relink();
    EXPECT_EQ(linked.version().serialText(), "SN-LATER");
    EXPECT_EQ(linked.version().firmwareMinor, 5u);
    EXPECT_EQ(linked.link().battery(), 33);
    EXPECT_EQ(linked.link().mode(), 1);
    EXPECT_FALSE(linked.link().isLinkLost());

    linked.close();
    EXPECT_TRUE(linked.link().isLinkLost());
}

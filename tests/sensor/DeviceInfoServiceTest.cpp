// The device-information reader and the shared identity reads over a real BLE device on the
// simulated radio.

#include <gtest/gtest.h>

#include "sdk/ble/BLEDevice.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/core/SensorIdentity.hpp"
#include "sim/radio/SimRadio.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Utility;
using VexaDevice::BLE::Platform::CharacteristicProperty::Read;

namespace {

constexpr uint64_t kAddress = 0x0A1B2C3D4E5F;

class DeviceInfoService : public ::testing::Test {
protected:
    void SetUp() override {
        peripheral = radio->addPeripheral(kAddress, "Dravik-7");
        auto service = peripheral->addService(parseUuid("0000180A-0000-1000-8000-00805F9B34FB"));
        const auto add = [&](const UUID& uuid, const std::string& text) {
            return service->addCharacteristic(uuid, Read, std::vector<uint8_t>(text.begin(), text.end()));
        };
        add(kSerialNumberCharacteristic, "D7-000123");
        model = add(kModelNumberCharacteristic, "100.2");
        add(kHardwareRevisionCharacteristic, "2.1.0");
        add(kFirmwareRevisionCharacteristic, "3.14.15");
        device = BLE::BLEDevice::create(BLE::DeviceId::fromUInt64(kAddress), {});
    }

    DeviceVersion read() {
        DeviceVersion version;
        readDeviceInfo(device->getChannelMap().at(parseUuid("0000180A-0000-1000-8000-00805F9B34FB")), version, nullptr);
        return version;
    }

    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
    std::shared_ptr<VexaSim::SimPeripheral> peripheral;
    std::shared_ptr<VexaSim::SimCharacteristic> model;
    std::shared_ptr<BLE::BLEDevice> device;
};

}  // namespace

TEST_F(DeviceInfoService, ReadFailuresAreRetriedUpToThreeTimes) {
    model->failNextReads(2);
    const DeviceVersion version = read();
    EXPECT_EQ(version.serialText(), "D7-000123");
    EXPECT_EQ(version.modelMajor, 100);
    EXPECT_EQ(version.modelMinor, 2);
    EXPECT_EQ(version.hardwareMajor, 2u);
    EXPECT_EQ(version.firmwareMinor, 14u);
    EXPECT_EQ(version.firmwarePatch, 15u);

    model->failNextReads(3);
    try {
        read();
        FAIL() << "three failed reads were taken as success";
    } catch (const rt_exception& error) {
        EXPECT_STREQ(error.what(), "Can not read Model number");
        EXPECT_EQ(error.code(), 0);
    }
}

TEST_F(DeviceInfoService, SharedIdentityReads) {
    std::string text;
    EXPECT_TRUE(Sensor::readName(*device, text));
    EXPECT_EQ(text, "Dravik-7");
    EXPECT_TRUE(Sensor::readAddress(*device, text));
    EXPECT_EQ(text, "0A:1B:2C:3D:4E:5F");
    int32_t state = -1;
    EXPECT_TRUE(Sensor::readState(*device, state));
    EXPECT_EQ(state, Sensor::kSensorConnected);
    device->disconnect();
    EXPECT_TRUE(Sensor::readState(*device, state));
    EXPECT_EQ(state, Sensor::kSensorDisconnected);
}

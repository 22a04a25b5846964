#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sdk/api/SensorInfoFill.hpp"
#include "tests/scanner/Advertising.hpp"

using namespace VexaDevice;
using ScannerTest::AdvertisedDevice;
using ScannerTest::manufacturerRecord;
using ScannerTest::uuid;

namespace {

_SensorInfo fill(const AdvertisedDevice& device) {
    return Api::toSensorInfo(device.deviceInfo());
}

AdvertisedDevice withModel(char type, uint8_t variant, bool pairing = false) {
    AdvertisedDevice device{0xA1B2C3D4E5F6, "Sensor"};
    device.manufacturerBlocks.push_back(manufacturerRecord(12345, type, variant, pairing));
    return device;
}

}  // namespace

TEST(SensorInfoFill, TextFieldsSignalAndSerial) {
    AdvertisedDevice device = withModel('P', 1, true);
    device.rssi = -71;
    const _SensorInfo info = fill(device);
    EXPECT_STREQ(info.Name, "Sensor");
    EXPECT_STREQ(info.Address, "A1:B2:C3:D4:E5:F6");
    EXPECT_STREQ(info.SerialNumber, "012345");
    EXPECT_EQ(info.RSSI, -71);
    EXPECT_EQ(info.SensFamily, SensorFamilyLorrel);
    EXPECT_EQ(info.SensModel, 1);
    EXPECT_EQ(info.PairingRequired, 1);
}

TEST(SensorInfoFill, LongNameIsCutAndTerminated) {
    AdvertisedDevice device = withModel('P', 1);
    device.name = std::string(400, 'n');
    const _SensorInfo info = fill(device);
    EXPECT_EQ(std::strlen(info.Name), 255u);
    EXPECT_EQ(info.Name[255], '\0');
}

TEST(SensorInfoFill, FamiliesByModelCode) {
    struct Case {
        char type;
        uint8_t variant;
        uint8_t family;
    };
    const Case cases[] = {{'0', 2, 18}, {'0', 3, 19}, {'0', 0, 19}, {'G', 0, 4}, {'G', 7, 4}, {'I', 0, 5},
                          {'I', 3, 6},  {'P', 0, 11}, {'d', 2, 14}, {'f', 9, 20}, {'g', 1, 21}, {'C', 1, 7},
                          {'D', 0, 8},  {'E', 0, 9},  {'H', 5, 10}, {'Q', 0, 12}, {'Z', 1, 0}};
    for (const Case& c : cases) {
        const _SensorInfo info = fill(withModel(c.type, c.variant));
        EXPECT_EQ(info.SensFamily, c.family) << c.type << int(c.variant);
        EXPECT_EQ(info.SensModel, c.variant) << c.type;
    }
}

TEST(SensorInfoFill, PairingBitOfTheRecordWins) {
    EXPECT_EQ(fill(withModel('I', 3, true)).PairingRequired, 1);
    EXPECT_EQ(fill(withModel('I', 3, false)).PairingRequired, 0);
    EXPECT_EQ(fill(withModel('G', 1, false)).PairingRequired, 0);
}

TEST(SensorInfoFill, FamilyByFirstServiceWithoutModelCode) {
    AdvertisedDevice black{0x1, "Black", {uuid("7E400000-B534-F393-68A9-E50E24DCCA90")}};
    const _SensorInfo blackInfo = fill(black);
    EXPECT_EQ(blackInfo.SensFamily, SensorFamilyMorvexBlack);
    EXPECT_EQ(blackInfo.SensModel, 0);
    EXPECT_EQ(blackInfo.PairingRequired, 1);
    EXPECT_STREQ(blackInfo.SerialNumber, "");

    AdvertisedDevice morvex{0x2, "Morvex", {uuid("6E400001-B534-F393-68A9-E50E24DCCA9E")}};
    morvex.manufacturerBlocks.push_back(ScannerTest::foreignManufacturerData());
    const _SensorInfo morvexInfo = fill(morvex);
    EXPECT_EQ(morvexInfo.SensFamily, SensorFamilyMorvex);
    EXPECT_EQ(morvexInfo.PairingRequired, 0);

    // Only the first advertised service counts.
    AdvertisedDevice second{0x3, "Other", {uuid("0000180F-0000-1000-8000-00805F9B34FB"),
                                           uuid("6E400001-B534-F393-68A9-E50E24DCCA9E")}};
    EXPECT_EQ(fill(second).SensFamily, SensorFamilyUnknown);
}

TEST(SensorInfoFill, ModelCodeWithoutDeviceClassStillChecksServicesForUnknownTypes) {
    // An unknown model type falls through to the service test.
    AdvertisedDevice device = withModel('Z', 4);
    device.services = {uuid("7E400001-B534-F393-68A9-E50E24DCCA90")};
    const _SensorInfo info = fill(device);
    EXPECT_EQ(info.SensFamily, SensorFamilyMorvexBlack);
    EXPECT_EQ(info.SensModel, 4);
}

TEST(SensorInfoFill, OnlyRecognisedDevicesAreListed) {
    const std::vector<std::shared_ptr<BLE::DeviceInfo>> devices{
        std::make_shared<BLE::DeviceInfo>(withModel('P', 1).deviceInfo()),
        std::make_shared<BLE::DeviceInfo>(withModel('Z', 1).deviceInfo()),
        nullptr,
        std::make_shared<BLE::DeviceInfo>(withModel('d', 2).deviceInfo()),
    };
    const auto sensors = Api::recognisedSensors(devices);
    ASSERT_EQ(sensors.size(), 2u);
    EXPECT_EQ(sensors[0].SensFamily, SensorFamilyLorrel);
    EXPECT_EQ(sensors[1].SensFamily, SensorFamilyDravik);
}

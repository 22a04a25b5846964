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

_SensorInfo fill(const AdvertisedDevice& device) { return Api::toSensorInfo(device.deviceInfo()); }

AdvertisedDevice withModel(char type, uint8_t variant) {
    AdvertisedDevice device{0xA1B2C3D4E5F6, "Sensor"};
    device.manufacturerBlocks.push_back(manufacturerRecord(12345, type, variant, false));
    return device;
}

}  // namespace

TEST(SensorInfoFill, LongNameIsCutAndTerminated) {
    AdvertisedDevice device = withModel('P', 1);
    device.name = std::string(400, 'n');
    const _SensorInfo info = fill(device);
    EXPECT_EQ(std::strlen(info.Name), 255u);
    EXPECT_STREQ(info.Address, "A1:B2:C3:D4:E5:F6");
}

TEST(SensorInfoFill, ModelCodesWithoutDeviceClassOrFamily) {
    struct Case {
        char type;
        uint8_t variant;
        uint8_t family;
    };
    for (const Case& c : {Case{'0', 0, 19}, Case{'C', 1, 7}, Case{'D', 0, 8}, Case{'E', 0, 9}, Case{'H', 5, 10},
                          Case{'Q', 0, 12}, Case{'Z', 1, 0}}) {
        const _SensorInfo info = fill(withModel(c.type, c.variant));
        EXPECT_EQ(info.SensFamily, c.family) << c.type;
        EXPECT_EQ(info.SensModel, c.variant) << c.type;
        EXPECT_EQ(info.PairingRequired, 0) << c.type;  // the record's bit, not the family default
    }
}

// A stack that lists the services sorted and merged with resolved ones (the Linux Bluetooth
// daemon, once it connected a device) may put the family's own anywhere.
TEST(SensorInfoFill, AnyAdvertisedServiceNamesTheFamily) {
    AdvertisedDevice second{
        0x3, "Other", {uuid("0000180F-0000-1000-8000-00805F9B34FB"), uuid("6E400001-B534-F393-68A9-E50E24DCCA9E")}};
    EXPECT_EQ(fill(second).SensFamily, SensorFamilyMorvex);
    AdvertisedDevice none{
        0x4, "Other", {uuid("0000180F-0000-1000-8000-00805F9B34FB"), uuid("0000180A-0000-1000-8000-00805F9B34FB")}};
    EXPECT_EQ(fill(none).SensFamily, SensorFamilyUnknown);

    // An unknown model type falls through to the service test and keeps its model byte.
    AdvertisedDevice device = withModel('Z', 4);
    device.services = {uuid("7E400001-B534-F393-68A9-E50E24DCCA90")};
    const _SensorInfo info = fill(device);
    EXPECT_EQ(info.SensFamily, SensorFamilyMorvexBlack);
    EXPECT_EQ(info.SensModel, 4);
    EXPECT_EQ(info.PairingRequired, 0);
}

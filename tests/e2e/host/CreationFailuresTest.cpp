// Sensors that cannot be made: bad records, devices that are not there, devices that lack what
// their class needs, and families whose class the library does not have.

#include <gtest/gtest.h>

#include "sim/peers/morvex/MorvexPeer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
using VexaDevice::Utility::parseUuid;

struct CreationFailures : HostLibrary {
    SensorScannerWrap* scanner = nullptr;

    void SetUp() override {
        HostLibrary::SetUp();
        scanner = scanFor({SensorFamilyMorvex});
    }
    void TearDown() override {
        freeScanner(scanner);
        HostLibrary::TearDown();
    }

    void expectFailure(_SensorInfo info, uint32_t code, const char* text) {
        status = CallStatus{};
        EXPECT_EQ(createSensor(scanner, &info, &status), nullptr);
        EXPECT_EQ(status.Success, 0);
        EXPECT_EQ(status.Error, code);
        EXPECT_STREQ(status.ErrorMsg, text);
    }
};

}  // namespace

TEST_F(CreationFailures, RecordsThatCannotNameASensor) {
    _SensorInfo info = record(SensorFamilyMorvex, "C0:FF:EE:00:00:20");
    EXPECT_EQ(createSensor(nullptr, &info, &status), nullptr);
    EXPECT_EQ(status.Error, 107u);
    EXPECT_STREQ(status.ErrorMsg, "Invalid parameters for creating a sensor");
    EXPECT_EQ(createSensor(scanner, nullptr, &status), nullptr);
    EXPECT_EQ(status.Error, 107u);
    expectFailure(record(SensorFamilyUnknown, "C0:FF:EE:00:00:20"), 107, "Invalid parameters for creating a sensor");
    expectFailure(record(SensorFamilyModelC, "C0:FF:EE:00:00:20"), 108, "Sensor unsupported");
    expectFailure(record(13, "C0:FF:EE:00:00:20"), 108, "Sensor unsupported");
    expectFailure(record(SensorFamilyMorvex, "not an address"), 109, "Sensor not founded");
}

TEST_F(CreationFailures, AnAddressWithAnEmptyOctetNamesNoDevice) {
    // Devices where an empty octet used to read as 0: the record must not reach them.
    radio->addPeripheral(0, "Zero")->addService(parseUuid("0000180A-0000-1000-8000-00805F9B34FB"));
    radio->addPeripheral(0xC0FFEE000000, "Padded")->addService(parseUuid("0000180A-0000-1000-8000-00805F9B34FB"));
    const auto start = std::chrono::steady_clock::now();
    for (const char* address : {"", "C0:FF:EE::00:00", "C0:FF:EE:00:00:", ":::::"}) {
        SCOPED_TRACE(address);
        expectFailure(record(SensorFamilyMorvex, address), 109, "Sensor not founded");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
        << "refused at once, not after a search";
}

TEST_F(CreationFailures, AnAddressNoDeviceAnswersIsNotFound) {
    expectFailure(record(SensorFamilyMorvex, "C0:FF:EE:00:00:21"), 109, "Sensor not founded");
}

TEST_F(CreationFailures, AMissingCharacteristicNamesItselfWithCode108) {
    auto device = radio->addPeripheral(0xC0FFEE000022, "Morvex");
    auto service = device->addService(parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E"));
    service->addCharacteristic(parseUuid("6E400002-B534-F393-68A9-E50E24DCCA9E"), Property::Read | Property::Notify,
                               {1, 0, 80, 0});
    service->addCharacteristic(parseUuid("6E400003-B534-F393-68A9-E50E24DCCA9E"), Property::Write);
    device->addService(parseUuid("0000180A-0000-1000-8000-00805F9B34FB"));
    expectFailure(record(SensorFamilyMorvex, "C0:FF:EE:00:00:22"), 108, "DeviceInfo Service cannot be empty.");
}

TEST_F(CreationFailures, ServicesOfNoClassOfTheFamilyAreUnsupported) {
    auto peer = VexaSim::MorvexPeer::attach(*radio, 0xC0FFEE000023);
    // A Morvex device asked for as a MorvexBlack one.
    expectFailure(record(SensorFamilyMorvexBlack, "C0:FF:EE:00:00:23", 1), 108, "Sensor unsupported");
}

TEST_F(CreationFailures, AVondraServiceWithoutItsCharacteristics) {
    auto device = radio->addPeripheral(0xC0FFEE000024, "Vondra");
    device->addService(parseUuid("7E400001-B534-F393-68A9-E50E24DCCA96"));
    expectFailure(record(SensorFamilyVondra, "C0:FF:EE:00:00:24"), 108,
                  "Cannot create Vondra BLE Device: DeviceInfo Service cannot be empty.");
    expectFailure(record(SensorFamilyVondra2, "C0:FF:EE:00:00:24", 4), 108, "DeviceInfo Service cannot be empty.");
    expectFailure(record(SensorFamilyVondra2, "C0:FF:EE:00:00:24", 2), 108, "DeviceInfo Service cannot be empty.");
}

TEST_F(CreationFailures, ATesselServiceWithoutItsCharacteristics) {
    auto tessel = radio->addPeripheral(0xC0FFEE000025, "Tessel");
    tessel->addService(parseUuid("3D2F0001-D6B9-11E4-88CF-0002A5D5C51B"));
    // Any accepted family reaches the Tessel class through its services.
    expectFailure(record(SensorFamilyLorrel, "C0:FF:EE:00:00:25"), 108, "Rx Channel cannot be null.");
}

TEST_F(CreationFailures, ADravikWithoutItsServicesNamesWhatIsMissing) {
    auto device = radio->addPeripheral(0xC0FFEE000026, "Dravik");
    device->addService(parseUuid("7E400001-B534-F393-68A9-E50E24DC7297"));
    expectFailure(record(SensorFamilyDravik, "C0:FF:EE:00:00:26"), 108, "DeviceInfo Service cannot be empty.");
}

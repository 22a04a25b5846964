// The Dravik device class over its protocol and the emulated device.

#include <gtest/gtest.h>

#include "sdk/devices/dravik/DravikBLE.hpp"
#include "tests/devices/dravik/DravikRig.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Dravik;
using Sensor::SensorCommand;

TEST(DravikDevice, CommandsMapOntoModesAndOthersFailWithoutACode) {
    DravikTest::DravikRig rig;
    auto device = makeDravikBLE(rig.ble, DravikTest::fastDravik());
    ASSERT_TRUE(device->connect());
    EXPECT_EQ(device->execCommand(SensorCommand::StartMEMS), OperationResult::failed(0, ""));
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    uint8_t mode = 0;
    ASSERT_TRUE(device->readAmpMode(mode));
    EXPECT_EQ(mode, AmpModeSignal);
    ASSERT_TRUE(device->execCommand(SensorCommand::StopResist)) << "outside signal and resistance: stops";
    ASSERT_TRUE(device->readAmpMode(mode));
    EXPECT_EQ(mode, AmpModePowerDown);
    EXPECT_EQ(device->getCommands().count(0), 1u);
    EXPECT_EQ(device->getCommands().count(4), 0u);
    std::string serial;
    ASSERT_TRUE(device->readSerialNumber(serial));
    EXPECT_EQ(serial, "DRV000123");
    EXPECT_EQ(device->maxStimPhases(), 16);
}

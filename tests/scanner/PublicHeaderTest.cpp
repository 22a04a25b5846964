#include <gtest/gtest.h>

#include <cstddef>

#include "sdk/api/include/ambrelkit2.h"

extern "C" {
size_t cSensorInfoSize(void);
size_t cSensorInfoRssiOffset(void);
size_t cSensorInfoPairingOffset(void);
SensorsFoundCallback cSensorsCallback(void);
int cScannerFunctionsDeclared(void);
}

TEST(PublicHeader, SensorInfoHasTheSameLayoutInC) {
    EXPECT_EQ(cSensorInfoSize(), 518u);
    EXPECT_EQ(cSensorInfoSize(), sizeof(_SensorInfo));
    EXPECT_EQ(cSensorInfoRssiOffset(), offsetof(_SensorInfo, RSSI));
    EXPECT_EQ(cSensorInfoPairingOffset(), offsetof(_SensorInfo, PairingRequired));
    EXPECT_EQ(alignof(_SensorInfo), 2u);
}

TEST(PublicHeader, ScannerFunctionsAreUsableFromC) {
    EXPECT_EQ(cScannerFunctionsDeclared(), 1);
    EXPECT_NE(cSensorsCallback(), nullptr);
}

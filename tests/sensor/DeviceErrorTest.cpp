#include <gtest/gtest.h>

#include "sdk/core/DeviceError.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Utility;

TEST(DeviceError, KspNamesAndTheDeviceErrorFrame) {
    EXPECT_EQ(kspErrorName(0), "KSP_ERROR_NOERROR");
    EXPECT_EQ(kspErrorName(3), "KSP_ERROR_BUSSY");
    EXPECT_EQ(kspErrorName(130), "T3P_ERR_FORMAT");
    EXPECT_EQ(kspErrorName(517), "ERR_WRONG_PARAM_VALUE");
    EXPECT_EQ(kspErrorName(547), "ERR_IO_COMMAND");
    EXPECT_EQ(kspErrorName(4), "UNKNOWN");

    EXPECT_EQ(formatKspDeviceError(514), OperationResult::failed(514, "Device error: [ERR_UNSUPPORTED_COMMAND]"));
    EXPECT_EQ(formatKspDeviceError(600), OperationResult::failed(600, "Device error: [UNKNOWN]"));
    EXPECT_EQ(formatKspDeviceError(0), OperationResult::done());
    EXPECT_EQ(formatKspDeviceError(65535).code, 65535);
}

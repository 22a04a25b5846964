#include <gtest/gtest.h>

#include <stdexcept>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"

using VexaDevice::Devices::rethrowDeviceCreationFailure;
using VexaDevice::Devices::rethrowProtocolCreationFailure;
using VexaDevice::Utility::rt_exception;

namespace {

template <class Thrown>
std::exception_ptr caught(Thrown thrown) {
    return std::make_exception_ptr(thrown);
}

template <class Expected, class Call>
std::string messageOf(Call call) {
    try {
        call();
    } catch (const Expected& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

}  // namespace

TEST(CreationFailure, ProtocolFailuresKeepLibraryErrorsAndWrapTheRest) {
    const std::string subject = "Morvex BLE Protocol";
    const std::string unknown = "Failed create Cannot create Morvex BLE Protocol.";
    try {
        rethrowProtocolCreationFailure(caught(rt_exception("Status Channel cannot be null.", 5)), subject, unknown);
    } catch (const rt_exception& e) {
        EXPECT_STREQ(e.what(), "Status Channel cannot be null.");
        EXPECT_EQ(e.code(), 5);
    }
    EXPECT_EQ(messageOf<rt_exception>([&] {
                  rethrowProtocolCreationFailure(caught(std::invalid_argument("invalid stoi argument")), subject,
                                                 unknown);
              }),
              "Failed create Morvex BLE Protocol: invalid stoi argument");
    EXPECT_EQ(messageOf<rt_exception>([&] { rethrowProtocolCreationFailure(caught(42), subject, unknown); }), unknown);
}

TEST(CreationFailure, DeviceFailuresBecomeRuntimeErrors) {
    EXPECT_EQ(messageOf<rt_exception>([] {
                  rethrowDeviceCreationFailure(caught(rt_exception("Data Channel cannot be null.")),
                                               "Morvex BLE Device");
              }),
              "Data Channel cannot be null.");
    EXPECT_EQ(messageOf<std::runtime_error>(
                  [] { rethrowDeviceCreationFailure(caught(std::logic_error("boom")), "Morvex BLE Device"); }),
              "Cannot create Morvex BLE Device: boom");
    EXPECT_EQ(messageOf<std::runtime_error>([] { rethrowDeviceCreationFailure(caught(1.5), "Morvex BLE Device"); }),
              "Cannot create Cannot create Morvex BLE Device.");
}

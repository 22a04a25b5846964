#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/common/ProtocolStart.hpp"

using VexaDevice::Devices::ProtocolStart;
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

// A protocol as the families write it: private constructor and start(), and a start() that
// hands a weak reference to itself to its worker.
class StartedProtocol : public std::enable_shared_from_this<StartedProtocol> {
public:
    ~StartedProtocol() { --alive; }

    static inline int alive = 0;
    std::string name;
    bool ownedWhenStarted = false;
    int starts = 0;

private:
    friend struct VexaDevice::Devices::ProtocolStart;
    StartedProtocol(std::string given, bool fails) : name(std::move(given)), fails_(fails) { ++alive; }

    void start() {
        ++starts;
        ownedWhenStarted = !weak_from_this().expired();
        if (fails_) throw rt_exception("Failed create Test Protocol: Status Channel cannot be null.");
    }

    const bool fails_;
};

}  // namespace

TEST(ProtocolStart, StartsOnceAlreadyOwnedAndAFailedStartLeavesNoProtocol) {
    {
        const auto protocol = ProtocolStart::make<StartedProtocol>(std::string("first"), false);
        EXPECT_EQ(protocol->name, "first");
        EXPECT_EQ(protocol->starts, 1);
        EXPECT_TRUE(protocol->ownedWhenStarted) << "start() may hand out weak references to itself";
        EXPECT_EQ(StartedProtocol::alive, 1);
    }
    EXPECT_EQ(StartedProtocol::alive, 0);
    EXPECT_EQ(messageOf<rt_exception>([] { ProtocolStart::make<StartedProtocol>(std::string("second"), true); }),
              "Failed create Test Protocol: Status Channel cannot be null.");
    EXPECT_EQ(StartedProtocol::alive, 0) << "the protocol whose start failed is released";
}

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

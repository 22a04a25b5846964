// Conversions between the daemon's text forms and the platform's values.

#include <gtest/gtest.h>

#include "sdk/ble/platform/bluez/BluezNames.hpp"

namespace Platform = VexaDevice::BLE::Platform;
namespace Bluez = VexaDevice::BLE::Platform::Bluez;

TEST(BluezNames, AddressesAndPathsRoundTrip) {
    EXPECT_EQ(Bluez::parseAddress("A1:B2:C3:D4:E5:F6"), 0xA1B2C3D4E5F6ULL);
    EXPECT_EQ(Bluez::parseAddress("a1:b2:c3:d4:e5:f6"), 0xA1B2C3D4E5F6ULL);
    EXPECT_EQ(Bluez::parseAddress("A1-B2:C3:D4:E5:F6"), std::nullopt);
    EXPECT_EQ(Bluez::parseAddress("A1:B2:C3:D4:E5"), std::nullopt);
    EXPECT_EQ(Bluez::parseAddress("G1:B2:C3:D4:E5:F6"), std::nullopt);
    EXPECT_EQ(Bluez::addressText(0x0000C3D4E5F6ULL), "00:00:C3:D4:E5:F6");
    EXPECT_EQ(Bluez::devicePath("/org/bluez/hci0", 0xA1B2C3D4E5F6ULL), "/org/bluez/hci0/dev_A1_B2_C3_D4_E5_F6");
}

TEST(BluezNames, FlagsAndShortUuids) {
    namespace P = Platform::CharacteristicProperty;
    EXPECT_EQ(Bluez::propertiesOfFlags({"read", "write-without-response", "notify", "authenticated-signed-writes"}),
              P::Read | P::WriteWithoutResponse | P::Notify);
    EXPECT_EQ(Bluez::flagsOfProperties(P::Write | P::Indicate), (std::vector<std::string>{"write", "indicate"}));
    const auto battery = Bluez::uuidOfShort(0x2A19);
    EXPECT_EQ(Bluez::uuidText(battery), "00002a19-0000-1000-8000-00805f9b34fb");
    EXPECT_EQ(Bluez::shortUuid(battery), 0x2A19);
    EXPECT_EQ(Bluez::shortUuid(*Bluez::parseUuidText("6e400001-b534-f393-68a9-e50e24dcca9e")), std::nullopt);
    EXPECT_EQ(Bluez::parseUuidText("not a uuid"), std::nullopt);
}

TEST(BluezNames, ErrorsBecomeThePlatformsStatuses) {
    using Platform::GattStatus;
    auto gatt = [](const char* name) { return Bluez::gattStatusOf({name, "text"}); };
    EXPECT_EQ(Bluez::gattStatusOf({}), GattStatus::Success);
    EXPECT_EQ(gatt("org.bluez.Error.NotPermitted"), GattStatus::AccessDenied);
    EXPECT_EQ(gatt("org.bluez.Error.NotAuthorized"), GattStatus::AccessDenied);
    EXPECT_EQ(gatt("org.bluez.Error.Failed"), GattStatus::ProtocolError);
    EXPECT_EQ(gatt("org.bluez.Error.InvalidValueLength"), GattStatus::ProtocolError);
    EXPECT_EQ(gatt("org.bluez.Error.NotConnected"), GattStatus::Unreachable);
    EXPECT_EQ(gatt("org.freedesktop.DBus.Error.NoReply"), GattStatus::Unreachable);
    EXPECT_EQ(gatt("org.freedesktop.DBus.Error.ServiceUnknown"), GattStatus::Unreachable);
    try {
        gatt("org.freedesktop.DBus.Error.AccessDenied");
        ADD_FAILURE() << "a refusal of the bus itself is a platform error";
    } catch (const Platform::PlatformError& error) {
        EXPECT_EQ(error.message, "org.freedesktop.DBus.Error.AccessDenied: text");
    }

    using Platform::PairingStatus;
    auto pairing = [](const char* name) { return Bluez::pairingStatusOf({name, ""}); };
    EXPECT_EQ(Bluez::pairingStatusOf({}), PairingStatus::Paired);
    EXPECT_EQ(pairing("org.bluez.Error.AlreadyExists"), PairingStatus::AlreadyPaired);
    EXPECT_EQ(pairing("org.bluez.Error.AuthenticationFailed"), PairingStatus::AuthenticationFailure);
    EXPECT_EQ(pairing("org.bluez.Error.AuthenticationCanceled"), PairingStatus::PairingCanceled);
    EXPECT_EQ(pairing("org.bluez.Error.AuthenticationRejected"), PairingStatus::RejectedByHandler);
    EXPECT_EQ(pairing("org.bluez.Error.ConnectionAttemptFailed"), PairingStatus::ConnectionRejected);
    EXPECT_EQ(pairing("org.bluez.Error.Something"), PairingStatus::Failed);
}

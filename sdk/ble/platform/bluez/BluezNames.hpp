#pragma once
// Names of the Bluetooth daemon's D-Bus API, and conversions between its text forms and ours.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/ble/platform/PlatformTypes.hpp"
#include "sdk/ble/platform/bluez/BusLoop.hpp"
#include "sdk/ble/platform/bluez/DbusValue.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

inline constexpr const char* kService = "org.bluez";
inline constexpr const char* kRoot = "/org/bluez";
inline constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
inline constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
inline constexpr const char* kAdapter = "org.bluez.Adapter1";
inline constexpr const char* kDevice = "org.bluez.Device1";
inline constexpr const char* kGattService = "org.bluez.GattService1";
inline constexpr const char* kGattCharacteristic = "org.bluez.GattCharacteristic1";
inline constexpr const char* kGattDescriptor = "org.bluez.GattDescriptor1";
inline constexpr const char* kBattery = "org.bluez.Battery1";
inline constexpr const char* kAgentManager = "org.bluez.AgentManager1";
inline constexpr const char* kAgent = "org.bluez.Agent1";

// Code of a PlatformError raised for a D-Bus failure the platform statuses do not cover.
inline constexpr int32_t kDbusFailureCode = 0x1F;

// "A1:B2:C3:D4:E5:F6" and back; the text form is upper case.
std::optional<uint64_t> parseAddress(const std::string& text);
std::string addressText(uint64_t address);
// The object path the daemon gives a device of an adapter: <adapter>/dev_A1_B2_C3_D4_E5_F6.
std::string devicePath(const std::string& adapterPath, uint64_t address);

// The daemon's characteristic flags as CharacteristicProperty bits, and back.
uint32_t propertiesOfFlags(const std::vector<std::string>& flags);
std::vector<std::string> flagsOfProperties(uint32_t properties);

// UUID text as the daemon writes it (lower case) and parsed leniently: unparsable gives empty.
std::string uuidText(const UUID& uuid);
std::optional<UUID> parseUuidText(const std::string& text);
// The 16-bit short form of a UUID on the Bluetooth base, when it has one.
std::optional<uint16_t> shortUuid(const UUID& uuid);
UUID uuidOfShort(uint16_t value);

// A boolean property of an object; false when it is missing.
bool isSet(const PropertyMap& properties, const char* name);
// The UUID property of a GATT object, when it parses.
std::optional<UUID> uuidProperty(const PropertyMap& properties);

// What a failed GATT call means for the platform. Failures the daemon does not report as a
// GATT outcome (the bus refusing the call, say) throw PlatformError with the error's name.
GattStatus gattStatusOf(const CallOutcome& outcome);
PairingStatus pairingStatusOf(const CallOutcome& outcome);
// Whether the failure says the peer or the daemon is out of reach.
bool isUnreachable(const CallOutcome& outcome);

}  // namespace VexaDevice::BLE::Platform::Bluez

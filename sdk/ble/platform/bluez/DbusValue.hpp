#pragma once
// Any D-Bus value, read generically from a message: properties and signal arguments of the
// Bluetooth daemon arrive as variants whose shapes this backend inspects after the fact.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct sd_bus_message;

namespace VexaDevice::BLE::Platform::Bluez {

struct DbusValue;
struct DbusDictEntry;
using DbusArray = std::vector<DbusValue>;
using DbusDict = std::vector<DbusDictEntry>;  // keys in message order
using DbusBytes = std::vector<uint8_t>;

struct DbusValue {
    // Signed integers are kept as int64_t, unsigned ones (and bytes outside byte arrays) as
    // uint64_t, strings, object paths and signatures as std::string; structs are arrays.
    std::variant<std::monostate, bool, int64_t, uint64_t, double, std::string, DbusBytes, DbusArray, DbusDict> data;

    // Defined below, where a dictionary entry is a complete type.
    bool operator==(const DbusValue& other) const;

    std::optional<bool> asBool() const;
    std::optional<int64_t> asInt() const;  // any integer type that fits
    std::optional<std::string> asString() const;
    std::optional<DbusBytes> asBytes() const;
    std::vector<std::string> asStrings() const;  // empty unless an array of strings
};

// A dictionary entry of its own type rather than a pair: a pair of a type that holds it cannot be
// checked for default construction while that type is still incomplete.
struct DbusDictEntry {
    DbusValue key;
    DbusValue value;

    bool operator==(const DbusDictEntry&) const = default;
};

inline bool DbusValue::operator==(const DbusValue& other) const { return data == other.data; }

// Properties of one interface, by name.
using PropertyMap = std::map<std::string, DbusValue>;
// Interfaces of one object, by name.
using InterfaceMap = std::map<std::string, PropertyMap>;

// Reads the next complete value of the message (entering variants); negative errno on failure.
int readValue(sd_bus_message* message, DbusValue& value);
// Reads an a{sv}.
int readProperties(sd_bus_message* message, PropertyMap& properties);
// Reads an a{sa{sv}}.
int readInterfaces(sd_bus_message* message, InterfaceMap& interfaces);
// Reads an array of strings.
int readStrings(sd_bus_message* message, std::vector<std::string>& strings);

}  // namespace VexaDevice::BLE::Platform::Bluez

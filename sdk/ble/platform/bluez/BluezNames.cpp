#include "sdk/ble/platform/bluez/BluezNames.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <utility>

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

constexpr std::array<std::pair<const char*, uint32_t>, 6> kFlags{{
    {"broadcast", CharacteristicProperty::Broadcast},
    {"read", CharacteristicProperty::Read},
    {"write-without-response", CharacteristicProperty::WriteWithoutResponse},
    {"write", CharacteristicProperty::Write},
    {"notify", CharacteristicProperty::Notify},
    {"indicate", CharacteristicProperty::Indicate},
}};

// Bytes 4..15 of every UUID on the Bluetooth base.
constexpr std::array<uint8_t, 12> kBaseTail{0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::optional<uint64_t> parseAddress(const std::string& text) {
    if (text.size() != 17) return std::nullopt;
    uint64_t address = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i % 3 == 2) {
            if (c != ':') return std::nullopt;
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
        address = (address << 4) | static_cast<uint64_t>(digit);
    }
    return address;
}

std::string addressText(uint64_t address) {
    char text[18];
    std::snprintf(text, sizeof(text), "%02X:%02X:%02X:%02X:%02X:%02X", static_cast<unsigned>((address >> 40) & 0xFF),
                  static_cast<unsigned>((address >> 32) & 0xFF), static_cast<unsigned>((address >> 24) & 0xFF),
                  static_cast<unsigned>((address >> 16) & 0xFF), static_cast<unsigned>((address >> 8) & 0xFF),
                  static_cast<unsigned>(address & 0xFF));
    return text;
}

std::string devicePath(const std::string& adapterPath, uint64_t address) {
    std::string text = addressText(address);
    std::replace(text.begin(), text.end(), ':', '_');
    return adapterPath + "/dev_" + text;
}

uint32_t propertiesOfFlags(const std::vector<std::string>& flags) {
    uint32_t properties = 0;
    for (const auto& flag : flags) {
        for (const auto& [name, bit] : kFlags) {
            if (flag == name) properties |= bit;
        }
    }
    return properties;
}

std::vector<std::string> flagsOfProperties(uint32_t properties) {
    std::vector<std::string> flags;
    for (const auto& [name, bit] : kFlags) {
        if (properties & bit) flags.emplace_back(name);
    }
    return flags;
}

std::string uuidText(const UUID& uuid) {
    std::string text = Utility::uuidToString(uuid);
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::optional<UUID> parseUuidText(const std::string& text) {
    try {
        return Utility::parseUuid(text);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<uint16_t> shortUuid(const UUID& uuid) {
    if (uuid.bytes[0] != 0 || uuid.bytes[1] != 0) return std::nullopt;
    if (!std::equal(kBaseTail.begin(), kBaseTail.end(), uuid.bytes.begin() + 4)) return std::nullopt;
    return static_cast<uint16_t>((uuid.bytes[2] << 8) | uuid.bytes[3]);
}

UUID uuidOfShort(uint16_t value) {
    UUID uuid;
    uuid.bytes[2] = static_cast<uint8_t>(value >> 8);
    uuid.bytes[3] = static_cast<uint8_t>(value & 0xFF);
    std::copy(kBaseTail.begin(), kBaseTail.end(), uuid.bytes.begin() + 4);
    return uuid;
}

bool isUnreachable(const CallOutcome& outcome) {
    static const char* const names[] = {
        "org.bluez.Error.NotConnected",
        "org.bluez.Error.NotReady",
        "org.bluez.Error.DoesNotExist",
        "org.bluez.Error.NotAvailable",
        "org.freedesktop.DBus.Error.NoReply",
        "org.freedesktop.DBus.Error.Timeout",
        "org.freedesktop.DBus.Error.TimedOut",
        "org.freedesktop.DBus.Error.ServiceUnknown",
        "org.freedesktop.DBus.Error.NameHasNoOwner",
        "org.freedesktop.DBus.Error.UnknownObject",
        "org.freedesktop.DBus.Error.UnknownInterface",
        "org.freedesktop.DBus.Error.Disconnected",
    };
    return std::find(std::begin(names), std::end(names), outcome.errorName) != std::end(names);
}

GattStatus gattStatusOf(const CallOutcome& outcome) {
    if (outcome.ok()) return GattStatus::Success;
    if (isUnreachable(outcome)) return GattStatus::Unreachable;
    if (outcome.errorName == "org.bluez.Error.NotPermitted" || outcome.errorName == "org.bluez.Error.NotAuthorized") {
        return GattStatus::AccessDenied;
    }
    if (startsWith(outcome.errorName, "org.bluez.Error.")) return GattStatus::ProtocolError;
    throw PlatformError{kDbusFailureCode, outcome.errorName + ": " + outcome.errorMessage};
}

PairingStatus pairingStatusOf(const CallOutcome& outcome) {
    static const std::pair<const char*, PairingStatus> statuses[] = {
        {"org.bluez.Error.AlreadyExists", PairingStatus::AlreadyPaired},
        {"org.bluez.Error.AuthenticationFailed", PairingStatus::AuthenticationFailure},
        {"org.bluez.Error.AuthenticationCanceled", PairingStatus::PairingCanceled},
        {"org.bluez.Error.AuthenticationRejected", PairingStatus::RejectedByHandler},
        {"org.bluez.Error.AuthenticationTimeout", PairingStatus::AuthenticationTimeout},
        {"org.bluez.Error.ConnectionAttemptFailed", PairingStatus::ConnectionRejected},
        {"org.bluez.Error.InProgress", PairingStatus::OperationAlreadyInProgress},
        {"org.bluez.Error.NotReady", PairingStatus::NotReadyToPair},
        {"org.bluez.Error.DoesNotExist", PairingStatus::ConnectionRejected},
    };
    if (outcome.ok()) return PairingStatus::Paired;
    for (const auto& [name, status] : statuses) {
        if (outcome.errorName == name) return status;
    }
    if (isUnreachable(outcome)) return PairingStatus::ConnectionRejected;
    return PairingStatus::Failed;
}

bool isSet(const PropertyMap& properties, const char* name) {
    auto found = properties.find(name);
    return found != properties.end() && found->second.asBool().value_or(false);
}

std::optional<UUID> uuidProperty(const PropertyMap& properties) {
    auto found = properties.find("UUID");
    if (found == properties.end()) return std::nullopt;
    return parseUuidText(found->second.asString().value_or(""));
}

}  // namespace VexaDevice::BLE::Platform::Bluez

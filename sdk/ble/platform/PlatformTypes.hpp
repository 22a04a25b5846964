#pragma once
// Value types of the Bluetooth platform interface.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/core/Uuid.hpp"

namespace VexaDevice::BLE::Platform {

using Utility::UUID;

// A failure reported by the Bluetooth stack itself. Deliberately not a std::exception: callers
// tell "a standard exception" and "a platform error" apart and log them differently.
struct PlatformError {
    int32_t code = 0;
    std::string message;
};

enum class GattStatus : int32_t { Success = 0, Unreachable = 1, ProtocolError = 2, AccessDenied = 3 };

enum class ConnectionStatus : int32_t { Disconnected = 0, Connected = 1 };

enum class ScanningMode : int32_t { Passive = 0, Active = 1 };

enum class WatcherStatus : int32_t { Created = 0, Started = 1, Stopping = 2, Stopped = 3, Aborted = 4 };

enum class RadioKind : int32_t { Other = 0, WiFi = 1, MobileBroadband = 2, Bluetooth = 3, FM = 4 };

enum class RadioState : int32_t { Unknown = 0, On = 1, Off = 2, Disabled = 3 };

// Ways a pairing may be confirmed; values combine as bit flags.
enum class PairingKind : uint32_t { None = 0, ConfirmOnly = 1, DisplayPin = 2, ProvidePin = 4, ConfirmPinMatch = 8 };

enum class ProtectionLevel : int32_t { Default = 0, None = 1, Encryption = 2, EncryptionAndAuthentication = 3 };

enum class PairingStatus : int32_t {
    Paired = 0,
    NotReadyToPair = 1,
    NotPaired = 2,
    AlreadyPaired = 3,
    ConnectionRejected = 4,
    TooManyConnections = 5,
    HardwareFailure = 6,
    AuthenticationTimeout = 7,
    AuthenticationNotAllowed = 8,
    AuthenticationFailure = 9,
    NoSupportedProfiles = 10,
    ProtectionLevelCouldNotBeMet = 11,
    AccessDenied = 12,
    InvalidCeremonyData = 13,
    PairingCanceled = 14,
    OperationAlreadyInProgress = 15,
    RequiredHandlerNotRegistered = 16,
    RejectedByHandler = 17,
    RemoteDeviceHasAssociation = 18,
    Failed = 19,
};

// GATT characteristic property bits.
namespace CharacteristicProperty {
inline constexpr uint32_t Broadcast = 0x01;
inline constexpr uint32_t Read = 0x02;
inline constexpr uint32_t WriteWithoutResponse = 0x04;
inline constexpr uint32_t Write = 0x08;
inline constexpr uint32_t Notify = 0x10;
inline constexpr uint32_t Indicate = 0x20;
}  // namespace CharacteristicProperty

// Value written to a characteristic's client configuration descriptor.
enum class ClientConfiguration : int32_t { None = 0, Notify = 1, Indicate = 2 };

struct DataSection {
    uint8_t type = 0;
    std::vector<uint8_t> data;
    bool operator==(const DataSection&) const = default;
};

struct ManufacturerEntry {
    uint16_t companyId = 0;
    std::vector<uint8_t> data;  // without the company identifier
    bool operator==(const ManufacturerEntry&) const = default;
};

// One received advertisement or scan response.
struct Advertisement {
    uint64_t address = 0;  // 48-bit device address in the low bits
    int16_t rssi = 0;      // dBm
    bool scanResponse = false;
    std::optional<uint32_t> flags;  // the advertised flags, when the packet carried them
    // The stack does not pass the advertised flags on: `flags` is empty whatever was sent.
    bool flagsUnknown = false;
    std::string localName;  // UTF-8, empty when absent
    std::vector<UUID> serviceUuids;
    std::vector<DataSection> dataSections;
    std::vector<ManufacturerEntry> manufacturerData;
};

struct WatcherSettings {
    ScanningMode mode = ScanningMode::Passive;
    int16_t inRangeThresholdDbm = -127;
    int16_t outOfRangeThresholdDbm = -127;
    std::chrono::nanoseconds outOfRangeTimeout{0};
    bool allowExtendedAdvertisements = false;
};

struct PairingInfo {
    bool canPair = false;
    bool isPaired = false;
};

}  // namespace VexaDevice::BLE::Platform

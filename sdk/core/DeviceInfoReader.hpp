#pragma once
// Reads the standard Device Information service (serial number, model number, hardware and
// firmware revision) into a DeviceVersion.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Utility {

// The Device Information service (0x180A) and its characteristics, on the Bluetooth base UUID.
extern const UUID kDeviceInformationService;
extern const UUID kSerialNumberCharacteristic;      // 0x2A25
extern const UUID kModelNumberCharacteristic;       // 0x2A24
extern const UUID kHardwareRevisionCharacteristic;  // 0x2A27
extern const UUID kFirmwareRevisionCharacteristic;  // 0x2A26

// Attempts per characteristic before the read gives up.
inline constexpr int kDeviceInfoReadAttempts = 3;

// One read of one characteristic: its value bytes, or nothing when the characteristic is
// missing or the read failed.
using CharacteristicRead = std::function<std::optional<std::vector<uint8_t>>(const UUID&)>;

// The value's bytes as a zero-terminated text: it ends at the first zero byte.
std::string textFromValue(const std::vector<uint8_t>& value);

// One attempt: false when the read fails or gives no bytes, else `out` is the value's text.
bool readString(const CharacteristicRead& read, const UUID& characteristic, std::string& out);

// Reads the four characteristics in order (serial, model, hardware, firmware), up to three
// attempts each, and fills `record`. Before every attempt `*cancel` is tested: when set, the
// read ends quietly with the record as far as it was filled. Three failed attempts throw
// rt_exception (code 0) with the step's text; unparsable numbers throw the step's parse text.
void readDeviceInfoFrom(const CharacteristicRead& read, DeviceVersion& record, const bool* cancel);

// The same over a Device Information service: a map from characteristic UUID to a channel
// whose `read(bytes)` appends the value and reports whether the read succeeded.
template <typename ServiceMap>
void readDeviceInfo(ServiceMap service, DeviceVersion& record, const bool* cancel) {
    const CharacteristicRead read = [&service](const UUID& characteristic) -> std::optional<std::vector<uint8_t>> {
        const auto found = service.find(characteristic);
        if (found == service.end() || !found->second) {
            return std::nullopt;
        }
        std::vector<uint8_t> value;
        if (!found->second->read(value)) {
            return std::nullopt;
        }
        return value;
    };
    readDeviceInfoFrom(read, record, cancel);
}

}  // namespace VexaDevice::Utility

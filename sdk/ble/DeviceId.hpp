#pragma once
// The 48-bit Bluetooth address of a device and the pairing choice.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace VexaDevice::BLE {

class IDeviceId {
public:
    virtual std::string toString() const = 0;
    virtual ~IDeviceId() = default;
};

// Six address bytes, byte 0 the most significant (printed first).
class DeviceId : public IDeviceId {
public:
    DeviceId() = default;
    explicit DeviceId(const std::array<uint8_t, 6>& bytes);
    // Parses "AA:BB:CC:DD:EE:FF"; throws std::invalid_argument (see parseAddressText).
    explicit DeviceId(const std::string& text);
    DeviceId(const DeviceId&) = default;
    DeviceId& operator=(const DeviceId&) = default;

    static DeviceId fromUInt64(uint64_t address);

    std::array<uint8_t, 6> bytes() const;
    uint64_t toUInt64() const;
    std::string toString() const override;
    bool operator==(const DeviceId& other) const { return high_ == other.high_ && low_ == other.low_; }

private:
    uint32_t high_ = 0;  // bytes 0 to 3
    uint16_t low_ = 0;   // bytes 4 and 5
};

// Address text to bytes: six parts split at ':' (missing trailing parts are 0), each at most
// two hexadecimal digits. Throws std::invalid_argument "Unable to parse address string: ...".
std::array<uint8_t, 6> parseAddressText(const std::string& text);

// FNV-1a 64-bit over the six bytes in order.
struct DeviceIdHash {
    size_t operator()(const DeviceId& id) const noexcept;
};

// 0: no pairing; any other value: pair with the operating system before GATT discovery.
struct PairingParam {
    int32_t value = 0;
    bool requested() const { return value != 0; }
};

}  // namespace VexaDevice::BLE

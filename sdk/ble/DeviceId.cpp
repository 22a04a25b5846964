#include "sdk/ble/DeviceId.hpp"

#include <stdexcept>

namespace VexaDevice::BLE {

DeviceId::DeviceId(const std::array<uint8_t, 6>& bytes)
    : high_(static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
            static_cast<uint32_t>(bytes[2]) << 8 | bytes[3]),
      low_(static_cast<uint16_t>(bytes[4] << 8 | bytes[5])) {}

DeviceId::DeviceId(const std::string& text) : DeviceId(parseAddressText(text)) {}

DeviceId DeviceId::fromUInt64(uint64_t address) {
    std::array<uint8_t, 6> bytes{};
    for (size_t index = 0; index < bytes.size(); ++index) {
        bytes[index] = static_cast<uint8_t>(address >> (8 * (5 - index)));
    }
    return DeviceId(bytes);
}

std::array<uint8_t, 6> DeviceId::bytes() const {
    return {static_cast<uint8_t>(high_ >> 24), static_cast<uint8_t>(high_ >> 16), static_cast<uint8_t>(high_ >> 8),
            static_cast<uint8_t>(high_),       static_cast<uint8_t>(low_ >> 8),   static_cast<uint8_t>(low_)};
}

uint64_t DeviceId::toUInt64() const { return static_cast<uint64_t>(high_) << 16 | low_; }

std::string DeviceId::toString() const {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(17);
    for (uint8_t byte : bytes()) {
        if (!text.empty()) text.push_back(':');
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

namespace {

// An empty part (an empty text, a doubled or trailing colon) names no device: it is refused,
// as is a part with characters after its digits.
uint8_t parseOctet(const std::string& part) {
    if (part.empty() || part.size() > 2) {
        throw std::invalid_argument("Wrong octet string length: " + std::to_string(part.size()));
    }
    size_t used = 0;
    const unsigned long value = std::stoul(part, &used, 16);
    if (used != part.size()) throw std::invalid_argument("Wrong octet string: " + part);
    if (value > 255) throw std::overflow_error("Wrong octet value being parsed: " + std::to_string(value));
    return static_cast<uint8_t>(value);
}

}  // namespace

std::array<uint8_t, 6> parseAddressText(const std::string& text) {
    std::array<uint8_t, 6> bytes{};
    try {
        size_t position = 0;
        bool exhausted = false;
        for (auto& byte : bytes) {
            if (exhausted) break;  // parts after the last one read as "00"
            const size_t colon = text.find(':', position);
            if (colon == std::string::npos) {
                byte = parseOctet(text.substr(position));
                exhausted = true;
            } else {
                byte = parseOctet(text.substr(position, colon - position));
                position = colon + 1;
            }
        }
    } catch (const std::exception& error) {
        throw std::invalid_argument(std::string("Unable to parse address string: ") + error.what());
    } catch (...) {
        throw std::invalid_argument("Unable to parse address string");
    }
    return bytes;
}

size_t DeviceIdHash::operator()(const DeviceId& id) const noexcept {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (uint8_t byte : id.bytes()) {
        hash ^= byte;
        hash *= 0x100000001b3ULL;
    }
    return static_cast<size_t>(hash);
}

}  // namespace VexaDevice::BLE

#pragma once
// The manufacturer-specific advertisement record of the library's devices (company
// identifier 0xFFFF, else 0xFFFE): version, serial number, model code and pairing bit.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/ble/DeviceParams.hpp"

namespace VexaDevice::BLE {

struct ManufacturerRecord {
    uint8_t version = 0;
    uint32_t serial = 0;
    uint8_t modelType = 0;
    uint8_t modelVariant = 0;
    bool pairingRequired = false;

    // One data block (identifier excluded); empty when it is not a valid record (too short,
    // version above 2, span past the block, or a failing checksum).
    static std::optional<ManufacturerRecord> parse(const std::vector<uint8_t>& block);

    // The first valid block under 0xFFFF, else under 0xFFFE.
    static std::optional<ManufacturerRecord> find(const DeviceParamManufacturerData& data);

    // Version 2: 8 upper-case hexadecimal digits; versions 0 and 1: at least 6 decimal digits.
    std::string serialText() const;
};

}  // namespace VexaDevice::BLE

#include "sdk/ble/ManufacturerRecord.hpp"

#include <cstdio>

namespace VexaDevice::BLE {

namespace {
constexpr uint32_t primaryCompanyId = 0xFFFF;
constexpr uint32_t secondaryCompanyId = 0xFFFE;
}  // namespace

std::optional<ManufacturerRecord> ManufacturerRecord::parse(const std::vector<uint8_t>& block) {
    if (block.empty()) return std::nullopt;
    const bool hasLengthByte = block[0] != 0;
    if (block.size() < (hasLengthByte ? 8u : 7u)) return std::nullopt;
    const size_t recordStart = hasLengthByte ? 1 : 0;
    const size_t spanLength = hasLengthByte ? static_cast<size_t>(block[0]) + 1 : block.size();
    if (spanLength > block.size()) return std::nullopt;

    const uint8_t* r = block.data() + recordStart;
    ManufacturerRecord record;
    record.version = r[0];
    if (record.version > 2) return std::nullopt;

    uint8_t sum = 0;
    for (size_t index = 0; index < spanLength; ++index) sum = static_cast<uint8_t>(sum + block[index]);
    if (sum != 0) return std::nullopt;

    if (record.version == 2) {
        record.serial = static_cast<uint32_t>(r[1]) | static_cast<uint32_t>(r[2]) << 8 |
                        static_cast<uint32_t>(r[3]) << 16 | static_cast<uint32_t>(r[4]) << 24;
        record.modelType = r[5];
        record.modelVariant = r[6];
        record.pairingRequired = ((block.size() > 8 ? r[7] : r[6]) & 0x01) != 0;
    } else {
        record.serial =
            static_cast<uint32_t>(r[1]) | static_cast<uint32_t>(r[2]) << 8 | static_cast<uint32_t>(r[3]) << 16;
        record.modelType = r[4];
        record.modelVariant = r[5];
        record.pairingRequired = (r[6] & 0x01) != 0;
    }
    return record;
}

std::optional<ManufacturerRecord> ManufacturerRecord::find(const DeviceParamManufacturerData& data) {
    for (uint32_t companyId : {primaryCompanyId, secondaryCompanyId}) {
        auto found = data.blocks.find(companyId);
        if (found == data.blocks.end()) continue;
        for (const auto& block : found->second) {
            if (auto record = parse(block)) return record;
        }
    }
    return std::nullopt;
}

std::string ManufacturerRecord::serialText() const {
    char text[16];
    if (version == 2) {
        std::snprintf(text, sizeof text, "%08X", serial);
    } else {
        std::snprintf(text, sizeof text, "%06u", serial);
    }
    return text;
}

}  // namespace VexaDevice::BLE

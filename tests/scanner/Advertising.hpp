#pragma once
// Advertisement contents of the library's devices, built by hand for the scanner tests.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/DeviceInfo.hpp"
#include "sdk/ble/platform/PlatformTypes.hpp"
#include "sdk/core/Uuid.hpp"

namespace ScannerTest {

inline constexpr uint16_t kRecordCompany = 0xFFFF;

// A version-0 manufacturer record without length byte: 00, 24-bit serial (little-endian),
// model type, model variant, pairing byte, and a checksum byte that makes the sum 0 mod 256.
inline std::vector<uint8_t> manufacturerRecord(uint32_t serial, char modelType, uint8_t modelVariant,
                                               bool pairingRequired) {
    std::vector<uint8_t> block{0x00,
                               static_cast<uint8_t>(serial),
                               static_cast<uint8_t>(serial >> 8),
                               static_cast<uint8_t>(serial >> 16),
                               static_cast<uint8_t>(modelType),
                               modelVariant,
                               static_cast<uint8_t>(pairingRequired ? 1 : 0)};
    uint8_t sum = 0;
    for (uint8_t b : block) {
        sum = static_cast<uint8_t>(sum + b);
    }
    block.push_back(static_cast<uint8_t>(0x100 - sum));
    return block;
}

// Manufacturer data that is not a record of the library's devices.
inline std::vector<uint8_t> foreignManufacturerData() { return {0x4C, 0x00, 0x02, 0x15}; }

inline VexaDevice::Utility::UUID uuid(const char* text) { return VexaDevice::Utility::parseUuid(text); }

struct AdvertisedDevice {
    AdvertisedDevice(uint64_t address, std::string name, std::vector<VexaDevice::Utility::UUID> services = {})
        : address(address), name(std::move(name)), services(std::move(services)) {}

    uint64_t address = 0;
    std::string name;
    std::vector<VexaDevice::Utility::UUID> services;
    std::vector<std::vector<uint8_t>> manufacturerBlocks;  // under kRecordCompany
    int16_t rssi = -60;

    // One advertisement in general discoverable mode (no pairing check needed).
    VexaDevice::BLE::Platform::Advertisement advertisement() const {
        VexaDevice::BLE::Platform::Advertisement ad;
        ad.address = address;
        ad.rssi = rssi;
        ad.flags = 0x06;
        ad.localName = name;
        ad.serviceUuids = services;
        for (const auto& block : manufacturerBlocks) {
            ad.manufacturerData.push_back({kRecordCompany, block});
        }
        return ad;
    }

    // The record the scanner would build from it.
    VexaDevice::BLE::DeviceInfo deviceInfo() const {
        using namespace VexaDevice::BLE;
        DeviceParamManufacturerData::Blocks blocks;
        if (!manufacturerBlocks.empty()) {
            blocks[kRecordCompany] = manufacturerBlocks;
        }
        DeviceParamMap params{
            {servicesUuidsKey, std::make_shared<DeviceParamServicesUUID>(services)},
            {dataSectionsKey, std::make_shared<DeviceParamDataSections>()},
            {manufacturerDataKey, std::make_shared<DeviceParamManufacturerData>(blocks)},
        };
        return DeviceInfo(std::make_shared<DeviceId>(DeviceId::fromUInt64(address)), name, params, rssi, 0, 0x06);
    }
};

}  // namespace ScannerTest

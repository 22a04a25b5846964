#pragma once
// What the scanner benchmarks feed the scanner: the filters a host asking for Morvex and
// MorvexBlack devices gets (alone, or behind name patterns), and advertisements of devices of several kinds (matching by
// service, by model code, and not matching at all).

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/ble/DevScan.hpp"
#include "sdk/core/Uuid.hpp"

namespace ScanBench {

namespace BLE = VexaDevice::BLE;
namespace Platform = VexaDevice::BLE::Platform;

inline constexpr uint64_t kDeviceBase = 0xC0FFEE000000ULL;

inline std::vector<uint8_t> modelBlock(uint8_t type, uint8_t variant) {
    std::vector<uint8_t> block{0x00, 0x39, 0x30, 0x00, type, variant, 0x01};
    uint8_t sum = 0;
    for (uint8_t byte : block) sum = static_cast<uint8_t>(sum + byte);
    block.push_back(static_cast<uint8_t>(0x100 - sum));
    return block;
}

inline BLE::ScanParams hostLikeParams() {
    using VexaDevice::Utility::formatString;
    using VexaDevice::Utility::parseUuid;
    BLE::ScanParams params;
    params.requireName = 1;
    params.requirePaired = 1;
    params.outOfRangeTimeoutSec = 12;
    params.filters.push_back({.serviceUuid = parseUuid("6E400000-B534-F393-68A9-E50E24DCCA9E")});
    params.filters.push_back({.serviceUuid = parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E")});
    params.filters.push_back({.serviceUuid = parseUuid(formatString("7E400000-B534-F393-68A9-E50E24DCCA%s", "90"))});
    params.filters.push_back({.modelType = uint8_t{'G'}});
    for (int variant = 16; variant >= 1; --variant) {
        params.filters.push_back({.modelType = uint8_t{'G'}, .modelVariant = static_cast<uint8_t>(variant)});
    }
    return params;
}

// The host's filters behind four name patterns that no device of the workload is named by:
// every advertisement is tried against each pattern before its own filter takes it.
inline BLE::ScanParams namePatternParams() {
    BLE::ScanParams params = hostLikeParams();
    const char* const names[] = {"(Tessel)|(Tesselo)", "Quindle", "^Headband [0-9]+$", "morvex"};
    std::vector<BLE::ScanFilter> byName;
    for (const char* name : names) byName.push_back({.namePattern = std::string(name)});
    params.filters.insert(params.filters.begin(), byName.begin(), byName.end());
    return params;
}

// Whether the host's filters take device number `device` (see advertisement()).
inline bool matches(uint64_t device) { return device % 3 != 2; }

// An advertisement of device number `device`: by its number, it matches by service, by model
// code, or not at all.
inline Platform::Advertisement advertisement(uint64_t device, int16_t rssi) {
    Platform::Advertisement ad;
    ad.address = kDeviceBase + device;
    ad.rssi = rssi;
    ad.flags = 0x06;
    ad.localName = "Device " + std::to_string(device);
    switch (device % 3) {
    case 0: ad.serviceUuids.push_back(VexaDevice::Utility::parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E")); break;
    case 1: ad.manufacturerData.push_back({0xFFFF, modelBlock('G', static_cast<uint8_t>(device % 16))}); break;
    default: ad.manufacturerData.push_back({0x004C, {0x02, 0x15, 0x01}}); break;
    }
    ad.dataSections.push_back({0x01, {0x06}});
    return ad;
}

// Advertisement `index` comes from device `index % devices`, numbered from `firstDevice`.
inline std::vector<Platform::Advertisement> advertisements(size_t count, uint64_t devices, uint64_t firstDevice) {
    std::vector<Platform::Advertisement> batch;
    batch.reserve(count);
    for (size_t index = 0; index < count; ++index) {
        batch.push_back(
            advertisement(firstDevice + index % devices, static_cast<int16_t>(-40 - static_cast<int>(index % 50))));
    }
    return batch;
}

}  // namespace ScanBench

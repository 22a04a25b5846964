// Advertisements processed per second by the scanner: a batch is queued on the simulated
// radio while it is held, then the time from release until the batch is handled is measured.
// Everything after the release runs on the radio's one delivery thread.

#include <benchmark/benchmark.h>

#include <chrono>

#include "sdk/ble/DevScan.hpp"
#include "sdk/core/Uuid.hpp"
#include "sim/radio/SimRadio.hpp"

namespace {

namespace BLE = VexaDevice::BLE;
namespace Platform = VexaDevice::BLE::Platform;
using VexaDevice::Utility::formatString;
using VexaDevice::Utility::parseUuid;

constexpr size_t batchSize = 20000;
constexpr uint64_t deviceCount = 200;

std::vector<uint8_t> modelBlock(uint8_t type, uint8_t variant) {
    std::vector<uint8_t> block{0x00, 0x39, 0x30, 0x00, type, variant, 0x01};
    uint8_t sum = 0;
    for (uint8_t byte : block) sum = static_cast<uint8_t>(sum + byte);
    block.push_back(static_cast<uint8_t>(0x100 - sum));
    return block;
}

// The filters a host asking for Morvex and MorvexBlack devices gets.
BLE::ScanParams hostLikeParams() {
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

// Devices of several kinds: matching by service, by model code, and not matching at all.
std::vector<Platform::Advertisement> advertisements() {
    std::vector<Platform::Advertisement> batch;
    batch.reserve(batchSize);
    for (size_t index = 0; index < batchSize; ++index) {
        const uint64_t device = index % deviceCount;
        Platform::Advertisement ad;
        ad.address = 0xC0FFEE000000ULL + device;
        ad.rssi = static_cast<int16_t>(-40 - static_cast<int>(index % 50));
        ad.flags = 0x06;
        ad.localName = "Device " + std::to_string(device);
        switch (device % 3) {
            case 0: ad.serviceUuids.push_back(parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E")); break;
            case 1: ad.manufacturerData.push_back({0xFFFF, modelBlock('G', static_cast<uint8_t>(device % 16))}); break;
            default: ad.manufacturerData.push_back({0x004C, {0x02, 0x15, 0x01}}); break;
        }
        ad.dataSections.push_back({0x01, {0x06}});
        batch.push_back(std::move(ad));
    }
    return batch;
}

void scannerAdvertisements(benchmark::State& state) {
    auto radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installation(radio);
    auto scan = BLE::DevScan::create(hostLikeParams());
    scan->startScan();
    const auto batch = advertisements();
    for (auto _ : state) {
        radio->pause();
        for (const auto& ad : batch) radio->advertise(ad);
        const auto started = std::chrono::steady_clock::now();
        radio->resume();
        radio->drain();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * batch.size()));
    state.counters["found"] = static_cast<double>(scan->getDevices().size());
}

}  // namespace

BENCHMARK(scannerAdvertisements)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// Feeds arbitrary advertisements through a running scanner (merging, filters, ageing, list
// copies) and arbitrary bytes through the record, address and UUID readers.

#include <fuzzer/FuzzedDataProvider.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "sdk/ble/DevScan.hpp"
#include "sdk/ble/ManufacturerRecord.hpp"
#include "sim/radio/SimRadio.hpp"

namespace {

namespace BLE = VexaDevice::BLE;
namespace Platform = VexaDevice::BLE::Platform;

std::atomic<int64_t> fakeNow{0};

struct Scanner {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installation{radio};
    std::shared_ptr<BLE::DevScan> scan;

    Scanner() {
        BLE::ScanParams params;
        params.requireName = 1;
        params.outOfRangeTimeoutSec = 12;
        params.filters.push_back(
            {.serviceUuid = VexaDevice::Utility::parseUuid("6E400000-B534-F393-68A9-E50E24DCCA9E")});
        params.filters.push_back({.namePattern = std::string("Tes")});
        params.filters.push_back({.modelType = uint8_t{'G'}, .modelVariant = uint8_t{3}});
        BLE::DevScanTiming timing;
        timing.ageingPeriod = std::chrono::milliseconds(1);
        scan = BLE::DevScan::create(params, timing, [] { return fakeNow.load(); });
        scan->startScan();
    }
};

std::vector<uint8_t> bytes(FuzzedDataProvider& input, size_t maxLength) {
    return input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, maxLength));
}

Platform::Advertisement advertisementFrom(FuzzedDataProvider& input) {
    Platform::Advertisement ad;
    ad.address = input.ConsumeIntegralInRange<uint64_t>(0, 15);
    ad.rssi = input.ConsumeIntegral<int16_t>();
    ad.scanResponse = input.ConsumeBool();
    if (input.ConsumeBool()) ad.flags = input.ConsumeIntegral<uint32_t>();
    ad.localName = input.ConsumeRandomLengthString(40);
    for (size_t n = input.ConsumeIntegralInRange<size_t>(0, 4); n > 0; --n) {
        VexaDevice::Utility::UUID uuid;
        for (auto& byte : uuid.bytes) byte = input.ConsumeIntegralInRange<uint8_t>(0, 3);
        ad.serviceUuids.push_back(uuid);
    }
    for (size_t n = input.ConsumeIntegralInRange<size_t>(0, 4); n > 0; --n) {
        ad.dataSections.push_back({input.ConsumeIntegral<uint8_t>(), bytes(input, 31)});
    }
    for (size_t n = input.ConsumeIntegralInRange<size_t>(0, 4); n > 0; --n) {
        const uint16_t company = input.ConsumeBool() ? 0xFFFF : input.ConsumeIntegral<uint16_t>();
        ad.manufacturerData.push_back({company, bytes(input, 24)});
    }
    return ad;
}

void readBack(const BLE::DeviceInfo& info) {
    std::array<uint8_t, 2> model{};
    bool pairing = false;
    std::string serial;
    info.modelCode(model);
    info.pairingRequired(pairing);
    info.serialNumber(serial);
    for (const auto& [key, param] : info.params()) (void)param->toString();
}

void parseTexts(FuzzedDataProvider& input) {
    const std::string text = input.ConsumeRandomLengthString(48);
    try {
        (void)BLE::DeviceId(text).toString();
    } catch (const std::invalid_argument&) {}
    try {
        (void)VexaDevice::Utility::parseUuid(text);
    } catch (const std::invalid_argument&) {}
    (void)VexaDevice::Utility::guidFromText(text.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scanner scanner;
    FuzzedDataProvider input(data, size);
    if (auto record = BLE::ManufacturerRecord::parse(bytes(input, 24))) (void)record->serialText();
    parseTexts(input);
    while (input.remaining_bytes() > 0) {
        if (input.ConsumeIntegralInRange<int>(0, 15) == 0) fakeNow += 13'000'000'000;  // let devices age out
        scanner.radio->advertise(advertisementFrom(input));
    }
    scanner.radio->drain();
    for (const auto& device : scanner.scan->getDevices()) readBack(*device);
    return 0;
}

#pragma once
// The scanner handle behind the exported scanner functions: the BLE scanner, the found-sensors
// bus that host callbacks subscribe to, and the subscriber that feeds it from the scanner.

#include <memory>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/ble/DevScan.hpp"
#include "sdk/core/EventBus.hpp"

struct SensorScannerWrap {
public:
    using FoundSensorsBus = VexaDevice::Utility::EventBus<std::vector<_SensorInfo>>;
    using Callback = FoundSensorsBus::Callback;

    // Subscribes to the scanner's device list at once.
    explicit SensorScannerWrap(std::shared_ptr<VexaDevice::BLE::IBLEDeviceScan> scanner);

    // No found-sensors delivery runs or starts once this returns; a delivery running on
    // the destroying thread itself (a host callback freeing its scanner) finishes safely.
    virtual ~SensorScannerWrap();

    SensorScannerWrap(const SensorScannerWrap&) = delete;
    SensorScannerWrap& operator=(const SensorScannerWrap&) = delete;

    VexaDevice::BLE::IBLEDeviceScan& scanner() const { return *scanner_; }

    // Records of the recognised devices the scanner holds now.
    std::vector<_SensorInfo> sensors() const;

    void subscribe(const FoundSensorsBus::Subscriber& subscriber);

private:
    class Relay;

    std::shared_ptr<VexaDevice::BLE::IBLEDeviceScan> scanner_;
    std::shared_ptr<Relay> relay_;
    std::shared_ptr<VexaDevice::BLE::DeviceListBus::Callback> listSubscriber_;
};

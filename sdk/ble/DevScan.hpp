#pragma once
// The advertisement scanner: merges what each device advertises, keeps the devices that
// meet the scan requirements and filters, publishes the found list when a device is added or
// dropped for not being heard within the out-of-range time, and creates BLE devices.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/ble/BLEDevice.hpp"
#include "sdk/ble/DeviceInfo.hpp"
#include "sdk/ble/IDeviceScan.hpp"
#include "sdk/ble/MonotonicClock.hpp"
#include "sdk/ble/NamePattern.hpp"
#include "sdk/ble/PeriodicTimer.hpp"
#include "sdk/ble/platform/BlePlatform.hpp"

namespace VexaDevice::BLE {

// One advertisement filter; a disengaged field matches everything.
struct ScanFilter {
    std::optional<DeviceId> address{};
    std::optional<Utility::UUID> serviceUuid{};
    std::optional<std::string> namePattern{};  // exact name, or a case-insensitive regular expression found in it
    std::optional<uint8_t> modelType{};
    std::optional<uint8_t> modelVariant{};
};

struct ScanParams {
    int32_t passive = 0;
    uint8_t requireManufacturerData = 0;
    uint8_t requireServiceUuids = 0;
    uint8_t requireName = 0;
    uint8_t requirePaired = 0;
    int64_t outOfRangeTimeoutSec = 0;
    std::vector<ScanFilter> filters;  // empty: every device meeting the requirements
};

struct DevScanTiming {
    std::chrono::milliseconds ageingPeriod{1000};
    BLEDeviceTiming device{};
};

class DevScan final : public IBLEDeviceScan, public std::enable_shared_from_this<DevScan> {
    struct Private {};

public:
    // Builds the scanner with its watcher running held (advertisements dropped until
    // startScan). A missing or disabled adapter is logged and does not fail.
    static std::shared_ptr<DevScan> create(const ScanParams& params, DevScanTiming timing = {},
                                           MonotonicClock clock = steadyNanoseconds);

    DevScan(Private, const ScanParams& params, DevScanTiming timing, MonotonicClock clock);
    ~DevScan() override;
    DevScan(const DevScan&) = delete;
    DevScan& operator=(const DevScan&) = delete;

    // A copy of every found device's record.
    std::vector<std::shared_ptr<DeviceInfo>> getDevices() override;
    std::shared_ptr<IBLEDevice> createDevice(std::shared_ptr<IDeviceId> id) override;
    std::weak_ptr<DeviceListBus> devicesFoundEvent() override;
    std::shared_ptr<IBLEDevice> createDevice(std::shared_ptr<IDeviceId> id, PairingParam pairing) override;
    bool isScanning() override;
    void startScan() override;
    // Throws Platform::PlatformError when the stack cannot stop the watcher.
    void stopScan() override;

    // Longest lists kept per device for advertised UUIDs, data sections, company identifiers
    // and blocks per company identifier.
    static constexpr size_t maxListEntries = 32;

private:
    using DeviceMap = std::unordered_map<DeviceId, DeviceInfo, DeviceIdHash>;

    void attachWatcher();
    void startWatcher(bool hold);
    bool isAdapterReady() const;
    void onAdvertisement(const Platform::Advertisement& advertisement);
    void onStopped();
    const DeviceInfo& updateSeen(const Platform::Advertisement& advertisement, const DeviceId& id);
    bool matchFilters(const DeviceInfo& record) const;
    bool pairedWithSystem(const DeviceId& id) const;
    void publishDevices();
    void ageDevices();

    const ScanParams params_;
    // The name rule of each filter, in the filters' order; empty for a filter without one.
    const std::vector<std::optional<NamePattern>> namePatterns_;
    const int64_t outOfRangeTimeoutSec_;
    const DevScanTiming timing_;
    const MonotonicClock clock_;
    const std::shared_ptr<Platform::IBlePlatform> platform_;
    DeviceMap found_;
    DeviceMap seen_;
    std::shared_mutex mutex_;
    std::shared_ptr<DeviceListBus> listBus_;
    std::atomic<bool> scanning_{false};
    std::atomic<bool> hold_{false};
    std::unique_ptr<PeriodicTimer> timer_;
    std::shared_ptr<Platform::IAdvertisementWatcher> watcher_;
    Platform::Registration received_;
    Platform::Registration stopped_;
};

}  // namespace VexaDevice::BLE

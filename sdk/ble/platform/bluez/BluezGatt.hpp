#pragma once
// Internal: the GATT objects of the daemon's backend: a service, its characteristics, and the
// Battery Level made from the daemon's battery interface.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sdk/ble/platform/bluez/DeviceLink.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

inline constexpr uint16_t kBatteryService = 0x180F;

// Set when the handle the object came from was closed.
using ClosedFlag = std::shared_ptr<const std::atomic<bool>>;

class BluezCharacteristic final : public IGattCharacteristic {
public:
    BluezCharacteristic(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device,
                        std::shared_ptr<CharacteristicLink> link, UUID uuid, uint32_t properties, ClosedFlag closed);

    UUID uuid() const override { return uuid_; }
    uint32_t properties() const override { return properties_; }
    GattReadResult readValue() override;
    using IGattCharacteristic::writeValue;
    GattStatus writeValue(const std::vector<uint8_t>& value, Acknowledged acknowledged) override;
    GattStatus writeClientConfiguration(ClientConfiguration value) override;
    Registration onValueChanged(std::function<void(const std::vector<uint8_t>&)> handler) override;

private:
    // The daemon refused the call because the link is gone, which it does not always report.
    GattStatus outcomeStatus(const CallOutcome& outcome);
    // Waits while the characteristic's table is away, until the device's table works again or
    // the link ends.
    void awaitRebind();
    // Makes the call once the table is there; one that reached an object the daemon had just
    // removed with its table is made once more on the object found again.
    template <class Call>
    CallOutcome callOnLiveObject(Call call);
    // A call the daemon answered InProgress is made once more.
    CallOutcome callRetryingBusy(const char* member, const BluezPlatform::Builder& build,
                                 BusLoop::ReplyHandler handler);
    CallOutcome startNotifications();
    CallOutcome stopNotifications();
    bool reachable() const;

    const std::shared_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeviceLink> device_;
    const std::shared_ptr<CharacteristicLink> link_;
    const UUID uuid_;
    const uint32_t properties_;
    const ClosedFlag closed_;
};

// Battery Level read from the daemon's battery interface, for devices whose Battery service
// the daemon keeps to itself.
class BatteryLevelCharacteristic final : public IGattCharacteristic {
public:
    BatteryLevelCharacteristic(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device,
                               ClosedFlag closed);

    UUID uuid() const override;
    uint32_t properties() const override;
    GattReadResult readValue() override;
    using IGattCharacteristic::writeValue;
    GattStatus writeValue(const std::vector<uint8_t>& value, Acknowledged acknowledged) override;
    GattStatus writeClientConfiguration(ClientConfiguration value) override;
    Registration onValueChanged(std::function<void(const std::vector<uint8_t>&)> handler) override;

private:
    const std::shared_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeviceLink> device_;
    const ClosedFlag closed_;
};

class BluezService final : public IGattService {
public:
    // An empty object path stands for the Battery service made from the battery interface.
    BluezService(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device, std::string path,
                 UUID uuid, ClosedFlag closed);

    UUID uuid() const override { return uuid_; }
    GattCharacteristicsResult characteristics() override;

private:
    const std::shared_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeviceLink> device_;
    const std::string path_;
    const UUID uuid_;
    const ClosedFlag closed_;
};

// Throws PlatformError once the handle the object came from was closed.
void throwIfClosed(const ClosedFlag& closed);

}  // namespace VexaDevice::BLE::Platform::Bluez

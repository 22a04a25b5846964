#pragma once
// Internal: a handle on one remote device of the daemon's backend: its link, pairing and GATT
// table.

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sdk/ble/platform/bluez/DeviceLink.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

class BluezPeripheral final : public IPeripheral {
public:
    // The platform opened the handle on the link with these status handlers.
    BluezPeripheral(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device,
                    std::shared_ptr<StatusRegistry> statusHandlers);
    ~BluezPeripheral() override;

    uint64_t address() const override { return device_->address; }
    std::string name() const override;
    ConnectionStatus connectionStatus() const override;
    Registration onConnectionStatusChanged(std::function<void()> handler) override;
    Registration onServicesRebound(std::function<void()> handler) override;
    PairingInfo pairingInfo() const override;
    Registration onPairingRequested(std::function<void(PairingRequest&)> handler) override;
    PairingStatus pair(PairingKind kinds, ProtectionLevel minimumLevel) override;
    GattServicesResult gattServices() override;
    void close() override;

private:
    bool connect();
    // Waits (bounded) until the daemon exported every service the device names: some export
    // the last ones after reporting the services resolved.
    void awaitNamedServices();

    const std::shared_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeviceLink> device_;
    const std::shared_ptr<std::atomic<bool>> closed_ = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<StatusRegistry> statusHandlers_;
    const std::shared_ptr<PairingRegistry> pairingHandlers_ = std::make_shared<PairingRegistry>();
};

}  // namespace VexaDevice::BLE::Platform::Bluez

#pragma once
// Internal: the central-side objects SimRadio hands to the library.

#include <atomic>
#include <memory>
#include <mutex>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sdk/ble/platform/HandlerRegistry.hpp"
#include "sim/radio/SimLink.hpp"
#include "sim/radio/SimPeripheral.hpp"

namespace VexaSim {

class SimRadio;

namespace Platform = VexaDevice::BLE::Platform;

using ValueRegistry = Platform::HandlerRegistry<const std::vector<uint8_t>&>;

// Whether the handle a central-side object came from was closed.
using ClosedFlag = std::shared_ptr<const std::atomic<bool>>;

void throwIfClosed(const ClosedFlag& closed);

class SimGattCharacteristic final : public Platform::IGattCharacteristic {
public:
    SimGattCharacteristic(std::shared_ptr<SimCharacteristic> peer, std::shared_ptr<SimLink> link, ClosedFlag closed);

    Platform::UUID uuid() const override;
    uint32_t properties() const override;
    Platform::GattReadResult readValue() override;
    using Platform::IGattCharacteristic::writeValue;
    // The acknowledgement is queued on the link as the write returns, behind what the device
    // notified during the write.
    Platform::GattStatus writeValue(const std::vector<uint8_t>& value, Acknowledged acknowledged) override;
    Platform::GattStatus writeClientConfiguration(Platform::ClientConfiguration value) override;
    Platform::Registration onValueChanged(std::function<void(const std::vector<uint8_t>&)> handler) override;

    bool handleClosed() const { return closed_->load(); }
    const std::shared_ptr<ValueRegistry>& valueHandlers() const { return valueHandlers_; }

private:
    const std::shared_ptr<SimCharacteristic> peer_;
    const std::shared_ptr<SimLink> link_;
    const ClosedFlag closed_;
    const std::shared_ptr<ValueRegistry> valueHandlers_ = std::make_shared<ValueRegistry>();
};

class SimGattService final : public Platform::IGattService {
public:
    SimGattService(std::shared_ptr<SimService> peer, std::shared_ptr<SimLink> link, ClosedFlag closed);

    Platform::UUID uuid() const override;
    Platform::GattCharacteristicsResult characteristics() override;

private:
    const std::shared_ptr<SimService> peer_;
    const std::shared_ptr<SimLink> link_;
    const ClosedFlag closed_;
};

class SimPeripheralHandle final : public Platform::IPeripheral {
public:
    explicit SimPeripheralHandle(std::shared_ptr<SimPeripheral> peer);
    ~SimPeripheralHandle() override;

    uint64_t address() const override;
    std::string name() const override;
    Platform::ConnectionStatus connectionStatus() const override;
    Platform::Registration onConnectionStatusChanged(std::function<void()> handler) override;
    // The simulated radio keeps a connected device's table as it is: never called.
    Platform::Registration onServicesRebound(std::function<void()>) override { return {}; }
    Platform::PairingInfo pairingInfo() const override;
    Platform::Registration onPairingRequested(std::function<void(Platform::PairingRequest&)> handler) override;
    Platform::PairingStatus pair(Platform::PairingKind kinds, Platform::ProtectionLevel minimumLevel) override;
    Platform::GattServicesResult gattServices() override;
    void close() override;

private:
    using PairingRegistry = Platform::HandlerRegistry<Platform::PairingRequest&>;

    const std::shared_ptr<SimPeripheral> peer_;
    const std::shared_ptr<std::atomic<bool>> closed_ = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<StatusRegistry> statusHandlers_ = std::make_shared<StatusRegistry>();
    const std::shared_ptr<PairingRegistry> pairingHandlers_ = std::make_shared<PairingRegistry>();
};

class SimWatcher final : public Platform::IAdvertisementWatcher, public std::enable_shared_from_this<SimWatcher> {
public:
    explicit SimWatcher(std::weak_ptr<SimRadio> radio);

    void configure(const Platform::WatcherSettings& settings) override;
    void start() override;
    void stop() override;
    Platform::WatcherStatus status() const override;
    Platform::Registration onReceived(std::function<void(const Platform::Advertisement&)> handler) override;
    Platform::Registration onStopped(std::function<void()> handler) override;

    // Delivery from the radio's thread.
    void deliver(const Platform::Advertisement& advertisement);
    // The stack ends the scan on its own.
    void abort();

private:
    void finish(Platform::WatcherStatus finalStatus);

    using AdvertisementRegistry = Platform::HandlerRegistry<const Platform::Advertisement&>;
    const std::weak_ptr<SimRadio> radio_;
    mutable std::mutex mutex_;
    Platform::WatcherSettings settings_;
    Platform::WatcherStatus status_ = Platform::WatcherStatus::Created;
    const std::shared_ptr<AdvertisementRegistry> receivedHandlers_ = std::make_shared<AdvertisementRegistry>();
    const std::shared_ptr<StatusRegistry> stoppedHandlers_ = std::make_shared<StatusRegistry>();
};

class SimAdapter final : public Platform::IAdapter {
public:
    SimAdapter(bool centralRole, std::optional<Platform::RadioState> radio)
        : centralRole_(centralRole), radio_(radio) {}
    bool isCentralRoleSupported() const override { return centralRole_; }
    std::optional<Platform::RadioState> radioState() const override { return radio_; }

private:
    bool centralRole_;
    std::optional<Platform::RadioState> radio_;
};

}  // namespace VexaSim

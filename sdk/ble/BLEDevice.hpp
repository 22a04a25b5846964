#pragma once
// One remote Bluetooth LE device: opened by address, paired on request, its GATT services
// discovered with retries into one channel per characteristic, connected and disconnected,
// with connection changes published on its own bus (delivered on the bus's thread), and its
// services resolved again under a live link on another.

#include <atomic>
#include <chrono>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"
#include "sdk/ble/DeviceId.hpp"
#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/ble/platform/BlePlatform.hpp"

namespace VexaDevice::BLE {

struct BLEDeviceTiming {
    int discoveryAttempts = 3;
    std::chrono::milliseconds discoveryRetryPause{500};
    int disconnectPolls = 500;
    std::chrono::milliseconds disconnectPollInterval{20};
    Utility::EventBusTiming connectionBus{};
};

class BLEDevice final : public IBLEDevice, public std::enable_shared_from_this<BLEDevice> {
    struct Private {};

public:
    // Opens the device on the current platform, pairs it when asked and discovers its
    // services. Throws std::runtime_error "Cannot create BLE device: ..." on failure.
    static std::shared_ptr<BLEDevice> create(const DeviceId& id, PairingParam pairing, BLEDeviceTiming timing = {});

    BLEDevice(Private, const DeviceId& id, PairingParam pairing, BLEDeviceTiming timing);
    ~BLEDevice() override;
    BLEDevice(const BLEDevice&) = delete;
    BLEDevice& operator=(const BLEDevice&) = delete;

    std::vector<std::shared_ptr<RawChannelInfo>> getChannels() override;
    bool isDisconnected() override;
    std::string name() override;
    // Returns at once when connected; otherwise reopens and rediscovers. Throws
    // std::runtime_error "Failed connect to BLE device: ...".
    void connect() override;
    // Closes the device and waits (bounded) until the stack reports it disconnected.
    void disconnect() override;
    ChannelMap getChannelMap() override;
    std::weak_ptr<ConnectionBus> connectionChangedEvent() override;
    std::weak_ptr<ConnectionBus> servicesReboundEvent() override;
    DeviceId id() override;

private:
    using ChannelTable =
        std::unordered_map<Utility::UUID,
                           std::unordered_map<Utility::UUID, std::shared_ptr<BLEChannel>, Utility::UuidHash>,
                           Utility::UuidHash>;

    std::shared_ptr<Platform::IPeripheral> openDevice() const;
    void watchConnection();
    void discoverServices();
    // One discovery attempt; false when it should be repeated after a pause.
    bool discoveryAttempt(int remaining);
    void pair();
    void detachCharacteristics();
    void connectLocked();
    void onConnectionChanged();
    // Processes a reported disconnection unless the lock is busy, in which case its holder
    // does so when it lets go. Never throws.
    void settlePendingDisconnect();
    void processDisconnectLocked();

    const DeviceId id_;
    const PairingParam pairing_;
    const BLEDeviceTiming timing_;
    const std::shared_ptr<Platform::IBlePlatform> platform_;
    std::shared_ptr<Platform::IPeripheral> device_;
    std::string name_;
    std::shared_ptr<std::atomic<bool>> token_;
    std::shared_ptr<ConnectionBus> connectionBus_;
    std::shared_ptr<ConnectionBus> reboundBus_;
    Platform::Registration statusChanged_;
    Platform::Registration servicesRebound_;
    std::shared_ptr<ConnectionBus::Callback> ownSubscriber_;
    std::vector<std::shared_ptr<RawChannelInfo>> channels_;
    ChannelTable channelMap_;
    std::atomic<bool> disconnectPending_{false};
    std::shared_mutex mutex_;
};

}  // namespace VexaDevice::BLE

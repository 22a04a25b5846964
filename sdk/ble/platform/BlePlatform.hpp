#pragma once
// What the library needs of a Bluetooth LE stack, and the process-wide current backend.
//
// Every call may throw PlatformError when the stack itself fails. Handlers run on the
// backend's own threads; the returned Registration unregisters them (see Registration.hpp).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/ble/platform/PlatformTypes.hpp"
#include "sdk/ble/platform/Registration.hpp"

namespace VexaDevice::BLE::Platform {

class IAdvertisementWatcher {
public:
    virtual ~IAdvertisementWatcher() = default;
    // Applies to the next start.
    virtual void configure(const WatcherSettings& settings) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual WatcherStatus status() const = 0;
    virtual Registration onReceived(std::function<void(const Advertisement&)> handler) = 0;
    // Called once the watcher has stopped, whether asked to or not.
    virtual Registration onStopped(std::function<void()> handler) = 0;
};

class IAdapter {
public:
    virtual ~IAdapter() = default;
    virtual bool isCentralRoleSupported() const = 0;
    // The adapter's own radio state; empty when the adapter has no radio.
    virtual std::optional<RadioState> radioState() const = 0;
};

struct GattReadResult {
    GattStatus status = GattStatus::Success;
    std::vector<uint8_t> value;
};

class IGattCharacteristic {
public:
    virtual ~IGattCharacteristic() = default;
    virtual UUID uuid() const = 0;
    virtual uint32_t properties() const = 0;  // CharacteristicProperty bits
    // Reads the value from the device, never from a cache.
    virtual GattReadResult readValue() = 0;
    // Runs once the device acknowledged a write, where this peripheral's value-changed handlers
    // run: after every value it notified before the acknowledgement, before any it notified after.
    using Acknowledged = std::function<void()>;
    // Write with response: returns once the device acknowledged or refused it. `acknowledged`
    // (may be empty) runs only for a write the device acknowledged.
    virtual GattStatus writeValue(const std::vector<uint8_t>& value, Acknowledged acknowledged) = 0;
    GattStatus writeValue(const std::vector<uint8_t>& value) { return writeValue(value, {}); }
    virtual GattStatus writeClientConfiguration(ClientConfiguration value) = 0;
    virtual Registration onValueChanged(std::function<void(const std::vector<uint8_t>&)> handler) = 0;
};

struct GattCharacteristicsResult {
    GattStatus status = GattStatus::Success;
    std::vector<std::shared_ptr<IGattCharacteristic>> characteristics;
};

class IGattService {
public:
    virtual ~IGattService() = default;
    virtual UUID uuid() const = 0;
    virtual GattCharacteristicsResult characteristics() = 0;
};

struct GattServicesResult {
    GattStatus status = GattStatus::Success;
    std::vector<std::shared_ptr<IGattService>> services;
};

// One pairing request raised by the stack while pair() runs.
class PairingRequest {
public:
    explicit PairingRequest(PairingKind kind) : kind_(kind) {}
    PairingKind kind() const { return kind_; }
    void accept() { accepted_ = true; }
    bool accepted() const { return accepted_; }

private:
    PairingKind kind_;
    bool accepted_ = false;
};

// A remote LE device opened by address.
class IPeripheral {
public:
    virtual ~IPeripheral() = default;
    virtual uint64_t address() const = 0;
    virtual std::string name() const = 0;  // UTF-8
    virtual ConnectionStatus connectionStatus() const = 0;
    virtual Registration onConnectionStatusChanged(std::function<void()> handler) = 0;
    // Called once the stack resolved the device's GATT table again while the link stayed up
    // and every characteristic works again, its notifications back on: what the device notified
    // while the table was away is lost, and a value kept from notifications is to be read anew.
    virtual Registration onServicesRebound(std::function<void()> handler) = 0;
    virtual PairingInfo pairingInfo() const = 0;
    virtual Registration onPairingRequested(std::function<void(PairingRequest&)> handler) = 0;
    // Pairs with the operating system; blocks until the outcome is known.
    virtual PairingStatus pair(PairingKind kinds, ProtectionLevel minimumLevel) = 0;
    // Queries the GATT services; a successful query connects the link.
    virtual GattServicesResult gattServices() = 0;
    // Releases this handle; the link drops once no handle uses it.
    virtual void close() = 0;
};

class IBlePlatform {
public:
    virtual ~IBlePlatform() = default;
    // Empty when the machine has no Bluetooth adapter.
    virtual std::shared_ptr<IAdapter> defaultAdapter() = 0;
    virtual std::vector<RadioKind> radios() = 0;
    virtual std::shared_ptr<IAdvertisementWatcher> createWatcher() = 0;
    // Empty when no device with that address can be reached.
    virtual std::shared_ptr<IPeripheral> openPeripheral(uint64_t address) = 0;
};

// The backend the library talks to. With none installed a backend without adapter answers:
// no adapter, no radios, watchers that never start and no reachable device.
std::shared_ptr<IBlePlatform> currentPlatform();

// Installs a backend for the whole process (empty restores the absent one) and returns the
// one it replaces. Objects already made from the previous backend keep using it.
std::shared_ptr<IBlePlatform> installPlatform(std::shared_ptr<IBlePlatform> platform);

}  // namespace VexaDevice::BLE::Platform

#pragma once
// The device side of the simulated radio: what an emulated device (sim/peers/<family>/) uses.
//
// An emulated device is built on one SimPeripheral, obtained from SimRadio::addPeripheral:
//
//   auto peripheral = radio->addPeripheral(0xA1B2C3D4E5F6, "Morvex");
//   auto service = peripheral->addService(serviceUuid);
//   auto command = service->addCharacteristic(commandUuid, CharacteristicProperty::Write);
//   auto status = service->addCharacteristic(statusUuid, CharacteristicProperty::Notify);
//   command->onWrite([status](const std::vector<uint8_t>& frame) {
//       status->notify(replyTo(frame));      // queued, delivered on the radio's thread
//       return GattStatus::Success;           // the central's write returns this status
//   });
//
// Threads: a write hook runs on the thread of the central that writes, before that write
// returns; it must not block on the central. notify() only queues: values reach the central's
// value-changed handlers later, in order, on the peripheral's own delivery thread (the same
// thread that reports connection changes and pairing requests). SimRadio::drain() waits until
// everything queued has been delivered. All operations here are safe from any thread.
//
// Notifications go out only while the link is up and the central has written Notify to the
// characteristic's client configuration since the link came up; otherwise notify() returns
// false and the value is lost, as over the air.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/ble/platform/PlatformTypes.hpp"

namespace VexaSim {

using VexaDevice::BLE::Platform::GattStatus;
using VexaDevice::BLE::Platform::PairingKind;
using VexaDevice::BLE::Platform::PairingStatus;
using VexaDevice::Utility::UUID;

class SimLink;
class SimGattCharacteristic;

class SimCharacteristic {
public:
    // Decides the status of one write from the central; runs on the writer's thread.
    using WriteHook = std::function<GattStatus(const std::vector<uint8_t>& value)>;
    // Runs on the writer's thread after the acknowledgement of a write the device took was
    // queued for the central: what it notifies reaches the central after the acknowledgement.
    using AcknowledgedHook = std::function<void(const std::vector<uint8_t>& value)>;
    // Makes the value of one read from the central (a value that changes with time); runs on
    // the reader's thread.
    using ReadHook = std::function<std::vector<uint8_t>()>;

    SimCharacteristic(std::shared_ptr<SimLink> link, UUID uuid, uint32_t properties, std::vector<uint8_t> value);

    const UUID& uuid() const { return uuid_; }
    uint32_t properties() const { return properties_; }

    // The value a central reads; a successful write replaces it too.
    std::vector<uint8_t> value() const;
    void setValue(std::vector<uint8_t> value);

    // A hook may hold its own characteristic: SimRadio releases every hook when it is destroyed.
    void onWrite(WriteHook hook);
    void onAcknowledged(AcknowledgedHook hook);
    // A read then gives what the hook makes, which also becomes the stored value.
    void onRead(ReadHook hook);

    // Pushes a value to the central; false when it cannot go out (link down, notification
    // not enabled, or dropped by an injected fault).
    bool notify(std::vector<uint8_t> value);
    // Whether the central enabled notification on the current connection.
    bool isNotifying() const;

    // Fault injection, each applying to the next `count` operations of its kind.
    void failNextWrites(int count, GattStatus status = GattStatus::ProtocolError);
    void failNextReads(int count, GattStatus status = GattStatus::ProtocolError);
    void failNextClientConfigurationWrites(int count, GattStatus status = GattStatus::ProtocolError);
    void dropNextNotifications(int count);
    void delayNextNotifications(int count, std::chrono::milliseconds delay);
    void truncateNextNotifications(int count, size_t length);

    // What the central did, for assertions.
    std::vector<std::vector<uint8_t>> writes() const;
    int clientConfigurationWrites() const;

    // Used by the central-side handles the library holds; not for emulated devices.
    // `acknowledged` (may be empty) is queued on the link once the write was taken.
    GattStatus centralWrite(const std::vector<uint8_t>& value, std::function<void()> acknowledged = {});
    GattStatus centralRead(std::vector<uint8_t>& value);
    GattStatus centralConfigure(bool notify);
    void attachView(const std::shared_ptr<SimGattCharacteristic>& view);

private:
    static bool takeFault(int& count);

    const std::shared_ptr<SimLink> link_;
    const UUID uuid_;
    const uint32_t properties_;

    mutable std::mutex mutex_;
    std::vector<uint8_t> value_;
    WriteHook writeHook_;
    AcknowledgedHook acknowledgedHook_;
    ReadHook readHook_;
    uint64_t notifyEpoch_ = 0;  // link epoch in which Notify was written; 0: never
    std::vector<std::weak_ptr<SimGattCharacteristic>> views_;
    std::vector<std::vector<uint8_t>> writes_;
    int clientConfigurationWrites_ = 0;
    int failingWrites_ = 0;
    GattStatus writeFailure_ = GattStatus::ProtocolError;
    int failingReads_ = 0;
    GattStatus readFailure_ = GattStatus::ProtocolError;
    int failingConfigurations_ = 0;
    GattStatus configurationFailure_ = GattStatus::ProtocolError;
    int droppedNotifications_ = 0;
    int delayedNotifications_ = 0;
    std::chrono::milliseconds notificationDelay_{0};
    int truncatedNotifications_ = 0;
    size_t truncatedLength_ = 0;
};

class SimService {
public:
    SimService(std::shared_ptr<SimLink> link, UUID uuid);

    const UUID& uuid() const { return uuid_; }

    std::shared_ptr<SimCharacteristic> addCharacteristic(const UUID& uuid, uint32_t properties,
                                                         std::vector<uint8_t> value = {});
    // Empty when the service has no such characteristic.
    std::shared_ptr<SimCharacteristic> characteristic(const UUID& uuid) const;
    std::vector<std::shared_ptr<SimCharacteristic>> characteristics() const;

    // Statuses answered to the next characteristic queries, one per query; Success after.
    void scriptCharacteristicsStatuses(std::vector<GattStatus> statuses);
    GattStatus takeCharacteristicsStatus();

private:
    const std::shared_ptr<SimLink> link_;
    const UUID uuid_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<SimCharacteristic>> characteristics_;
    std::vector<GattStatus> scriptedStatuses_;
};

// How the device pairs, and the kind of confirmation it asks for.
struct SimPairing {
    bool canPair = true;
    bool isPaired = false;
    PairingKind requestedKind = PairingKind::ConfirmOnly;
    // Outcome of a pairing whose request the central accepted; a request left unaccepted ends
    // with RejectedByHandler.
    PairingStatus outcome = PairingStatus::Paired;
};

class SimPeripheral {
public:
    SimPeripheral(uint64_t address, std::string name);

    uint64_t address() const { return address_; }
    std::string name() const;
    void setName(std::string name);

    // GATT table. Services are reported in the order added.
    std::shared_ptr<SimService> addService(const UUID& uuid);
    std::shared_ptr<SimService> service(const UUID& uuid) const;
    std::vector<std::shared_ptr<SimService>> services() const;
    // Shortcut to a characteristic of a service; empty when either is missing.
    std::shared_ptr<SimCharacteristic> characteristic(const UUID& service, const UUID& characteristic) const;

    // Link.
    bool isConnected() const;
    void dropLink();                             // link loss, announced to the central
    void dropLinkAfterNotifications(int count);  // link loss after `count` more notifications
    // Out of reach: it cannot be opened and queries answer Unreachable.
    void setReachable(bool reachable);
    bool reachable() const;
    // Connection-status handlers the central has registered on its open handles.
    size_t connectionHandlerCount() const;
    // Keep the link up after the central closed its handle (a stack slow to let go).
    void setLingerAfterClose(bool linger);

    // Statuses answered to the next service queries, one per query; Success after.
    void scriptServicesStatuses(std::vector<GattStatus> statuses);
    int servicesQueries() const;

    void setPairing(const SimPairing& pairing);
    SimPairing pairing() const;
    int pairingAttempts() const;

    // Releases every write and read hook (and what they hold); SimRadio does this when it ends.
    void releaseHooks();

    // Used by the central-side handles.
    const std::shared_ptr<SimLink>& link() const { return link_; }
    GattStatus takeServicesStatus();
    // Completes one pairing with the central's answer to the request.
    PairingStatus completePairing(bool requestAccepted);

private:
    const uint64_t address_;
    const std::shared_ptr<SimLink> link_;
    mutable std::mutex mutex_;
    std::string name_;
    std::vector<std::shared_ptr<SimService>> services_;
    std::vector<GattStatus> scriptedStatuses_;
    int servicesQueries_ = 0;
    SimPairing pairing_;
    int pairingAttempts_ = 0;
};

}  // namespace VexaSim

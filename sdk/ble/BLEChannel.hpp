#pragma once
// One GATT characteristic of a connected device: read, write, notification, and the data bus
// on which every notified value is published.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::BLE {

// What a characteristic supports, as the values RawChannelInfo lists.
namespace ChannelMode {
enum : int32_t { Read = 0, Write = 1, Notify = 2 };
}

// Which characteristic of which service, and what it supports.
class RawChannelInfo {
public:
    RawChannelInfo(const Utility::UUID& serviceUuid, const Utility::UUID& characteristicUuid,
                   std::vector<int32_t> modes);
    virtual ~RawChannelInfo() = default;

    virtual std::string characteristicUuidText() const;
    virtual std::vector<int32_t> modes() const;
    virtual bool supports(const int32_t& mode) const;

    const Utility::UUID& serviceUuid() const { return serviceUuid_; }
    const Utility::UUID& characteristicUuid() const { return characteristicUuid_; }

private:
    Utility::UUID serviceUuid_;
    Utility::UUID characteristicUuid_;
    std::vector<int32_t> modes_;  // in the order read, write, notify
};

using DataBus = Utility::EventBus<const std::vector<uint8_t>&>;

class IBLEChannel {
public:
    virtual ~IBLEChannel() = default;
    virtual void startNotify() = 0;
    virtual void stopNotify() = 0;
    virtual bool isNotifying() = 0;
    virtual std::weak_ptr<DataBus> dataEvent() = 0;
    // `acknowledged` (may be empty) runs once the device acknowledged the write, in the order of
    // the notifications of every characteristic of the device (see IGattCharacteristic).
    virtual bool write(const std::vector<uint8_t>& data, Platform::IGattCharacteristic::Acknowledged acknowledged) = 0;
    bool write(const std::vector<uint8_t>& data) { return write(data, {}); }
    virtual bool read(std::vector<uint8_t>& out) = 0;
    // Reads the value and hands it to `apply`, unless a value was notified since the read was
    // asked: the device notifies every change, and a notification may come in ahead of the
    // read's reply (a socket overtakes the bus), so it is as new as the value read or newer.
    // True when the read succeeded, whether or not its value was applied.
    virtual bool readUnlessNotified(const std::function<void(const std::vector<uint8_t>&)>& apply) {
        std::vector<uint8_t> value;
        if (!read(value)) return false;
        apply(value);
        return true;
    }
    virtual std::shared_ptr<RawChannelInfo> rawChannelInfo() = 0;
};

class BLEChannel : public IBLEChannel {
public:
    // Throws std::runtime_error when either is null.
    BLEChannel(std::shared_ptr<RawChannelInfo> info, std::shared_ptr<Platform::IGattCharacteristic> characteristic);
    ~BLEChannel() override;
    BLEChannel(const BLEChannel&) = delete;
    BLEChannel& operator=(const BLEChannel&) = delete;

    // Enables notification (or keeps it pending while no characteristic is attached).
    // Throws std::runtime_error "Unable start notify: [<uuid>] [unsupported mode]" or
    // "Unable set notification callback: [<uuid>]".
    void startNotify() override;
    void stopNotify() override;
    bool isNotifying() override;
    // Subscribers receive each notified value on the stack's callback thread.
    std::weak_ptr<DataBus> dataEvent() override;
    // True when the device acknowledged the write (write with response).
    using IBLEChannel::write;
    bool write(const std::vector<uint8_t>& data, Platform::IGattCharacteristic::Acknowledged acknowledged) override;
    // Appends the value read from the device to `out`.
    bool read(std::vector<uint8_t>& out) override;
    bool readUnlessNotified(const std::function<void(const std::vector<uint8_t>&)>& apply) override;
    std::shared_ptr<RawChannelInfo> rawChannelInfo() override;

    // Attaches the characteristic found by a new discovery (null detaches). Notification that
    // was on resumes on the new characteristic; its failure propagates.
    void setCharacteristic(std::shared_ptr<Platform::IGattCharacteristic> characteristic);

private:
    bool initNotify();                       // caller holds the lock exclusively
    Platform::Registration detachHandler();  // caller holds the lock exclusively

    std::shared_ptr<RawChannelInfo> info_;
    std::shared_ptr<Platform::IGattCharacteristic> characteristic_;
    std::shared_ptr<DataBus> dataBus_;
    bool notifyEnabled_ = false;
    bool subscribed_ = false;
    std::shared_mutex mutex_;
    Platform::Registration valueChanged_;
    // Counts the values notified; a read's value is applied under its lock.
    struct NotifiedCount {
        std::mutex mutex;
        uint64_t count = 0;
    };
    const std::shared_ptr<NotifiedCount> notified_ = std::make_shared<NotifiedCount>();
};

}  // namespace VexaDevice::BLE

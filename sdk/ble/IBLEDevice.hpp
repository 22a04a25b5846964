#pragma once
// Interfaces of a remote device as the device families see it.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"
#include "sdk/ble/DeviceId.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::BLE {

template <class ChannelInfo>
class IDevice {
public:
    virtual std::vector<std::shared_ptr<ChannelInfo>> getChannels() = 0;
    virtual bool isDisconnected() = 0;
    virtual std::string name() = 0;
    virtual ~IDevice() = default;
    virtual void connect() = 0;
    virtual void disconnect() = 0;
};

// Characteristic channels by characteristic UUID.
using ServiceChannels = std::unordered_map<Utility::UUID, std::shared_ptr<IBLEChannel>, Utility::UuidHash>;
// Channels of every discovered service, by service UUID.
using ChannelMap = std::unordered_map<Utility::UUID, ServiceChannels, Utility::UuidHash>;

// Payload-free: subscribers read the device's state when told that it changed.
using ConnectionBus = Utility::EventBus<>;

class IBLEDevice : public IDevice<RawChannelInfo> {
public:
    virtual ChannelMap getChannelMap() = 0;
    virtual std::weak_ptr<ConnectionBus> connectionChangedEvent() = 0;
    // Told when the device's services were resolved again while its link stayed up: what it
    // notified meanwhile is lost, the link is not.
    virtual std::weak_ptr<ConnectionBus> servicesReboundEvent() = 0;
    virtual DeviceId id() = 0;
};

}  // namespace VexaDevice::BLE

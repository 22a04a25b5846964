#pragma once
// A device that answers its commands through status notifications, as its protocol holds it:
// the BLE device, its Device Information record (read at creation and again once a lost link is
// back) and the StatusCommandLink over its status and command characteristics.
//
//   IdentifiedLink linked(device, deviceInformation);
//   linked.readIdentity();                       // throws for a device that cannot be driven
//   linked.open(status, command, worker.wakeup(), timing).readStatus();
//   ...
//   linked.relink();                             // under the command lock, after a reconnection
//   linked.close();                              // the protocol stops
//
// Threads: readIdentity, open and relink run at creation or under the protocol's command lock;
// version() may be read from any thread.

#include <memory>
#include <mutex>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/CvWait.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/StatusCommandLink.hpp"

namespace VexaDevice::Devices {

class IdentifiedLink {
public:
    IdentifiedLink(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation);

    // Throws rt_exception "DeviceInfo Service cannot be empty." or "BLE device cannot be null."
    // for what cannot be a device, else reads the Device Information record.
    void readIdentity();
    // Builds the status link (named after the device's serial number) and hands it out.
    StatusCommandLink& open(std::shared_ptr<BLE::IBLEChannel> status, std::shared_ptr<BLE::IBLEChannel> command,
                            std::weak_ptr<Utility::CvWait> wake, const ProtocolTiming& timing,
                            StatusAnswers answers = StatusAnswers::Directly);
    // Marks the link lost and turns the status notification off; nothing before open.
    void close();
    // The link went down: marks it lost. A loss reported once the link is back again is over
    // already, and taken for a new one it would skip the status read of the reconnection.
    void markLinkLost();
    // After a reconnection: the record and the status are read again when the link had been lost.
    void relink();

    // After open.
    StatusCommandLink& link() const { return *link_; }
    const std::shared_ptr<BLE::IBLEDevice>& device() const { return device_; }
    DeviceVersion version() const;

private:
    void readDeviceInformation();

    const std::shared_ptr<BLE::IBLEDevice> device_;
    const BLE::ServiceChannels deviceInformation_;
    mutable std::mutex versionLock_;
    DeviceVersion version_;
    std::unique_ptr<StatusCommandLink> link_;
};

}  // namespace VexaDevice::Devices

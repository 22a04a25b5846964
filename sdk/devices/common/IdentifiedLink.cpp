#include "sdk/devices/common/IdentifiedLink.hpp"

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/RtException.hpp"

namespace VexaDevice::Devices {

IdentifiedLink::IdentifiedLink(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation)
    : device_(std::move(device)), deviceInformation_(std::move(deviceInformation)) {}

void IdentifiedLink::readIdentity() {
    if (deviceInformation_.empty()) throw Utility::rt_exception("DeviceInfo Service cannot be empty.");
    if (!device_) throw Utility::rt_exception("BLE device cannot be null.");
    readDeviceInformation();
}

StatusCommandLink& IdentifiedLink::open(std::shared_ptr<BLE::IBLEChannel> status,
                                        std::shared_ptr<BLE::IBLEChannel> command, std::weak_ptr<Utility::CvWait> wake,
                                        const ProtocolTiming& timing, StatusAnswers answers) {
    link_ =
        std::make_unique<StatusCommandLink>(std::move(status), std::move(command), std::move(wake), timing, answers);
    link_->setDeviceName(version().serialText());
    return *link_;
}

void IdentifiedLink::close() {
    if (link_) {
        link_->markLinkLost();
        link_->stopListening();
    }
}

void IdentifiedLink::markLinkLost() {
    if (device_->isDisconnected()) link_->markLinkLost();
}

void IdentifiedLink::relink() {
    if (link_->takeLinkLost()) {
        readDeviceInformation();
        link_->readStatus();
    }
}

DeviceVersion IdentifiedLink::version() const {
    std::lock_guard lock(versionLock_);
    return version_;
}

void IdentifiedLink::readDeviceInformation() {
    DeviceVersion version;
    const bool cancel = link_ && link_->isLinkLost();
    Utility::readDeviceInfo(deviceInformation_, version, &cancel);
    {
        std::lock_guard lock(versionLock_);
        version_ = version;
    }
    if (link_) link_->setDeviceName(version.serialText());
}

}  // namespace VexaDevice::Devices

#pragma once
// How a protocol takes in the status characteristic of a device that answers its commands
// through status notifications: the handler that reaches the protocol only while it lives, the
// first read before anything is sent, the packs of a notification kept for the worker, and
// notification turned off when the protocol stops.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RBuffer.hpp"
#include "sdk/devices/common/PackSplitter.hpp"

namespace VexaDevice::Devices {

// Subscribes `handler` of the protocol, held weakly, to the channel's notifications and turns
// notification on. The returned pointer is the subscription.
template <class Protocol>
std::shared_ptr<BLE::DataBus::Callback> listenTo(BLE::IBLEChannel& channel, std::weak_ptr<Protocol> protocol,
                                                 void (Protocol::*handler)(const std::vector<uint8_t>&)) {
    auto subscriber = std::make_shared<BLE::DataBus::Callback>([protocol, handler](const std::vector<uint8_t>& bytes) {
        if (const auto strong = protocol.lock()) (strong.get()->*handler)(bytes);
    });
    if (const auto bus = channel.dataEvent().lock()) bus->subscribe(subscriber);
    channel.startNotify();
    return subscriber;
}

// Reads the status characteristic up to `attempts` times while the link is not lost and hands
// the first value read to `handle`, unless a status was notified meanwhile (it is as new).
// Throws rt_exception "Can not read Status" when none came.
void readStatusValue(BLE::IBLEChannel& status, int attempts, const std::atomic<bool>& linkLost,
                     const std::function<void(const std::vector<uint8_t>&)>& handle);

// Turns the status notification off, if there is a status channel; a failure is logged as
// "[subject] stopping the status notification failed: ...".
void stopStatusNotify(BLE::IBLEChannel* status, const std::string& subject);

// The status packs of one notification, kept in `ring` for the worker; a remainder is logged as
// "Error data length status. Device: [serial]", several packs at once at trace level.
template <class Pack>
std::vector<Pack> keepStatusPacks(const std::vector<uint8_t>& bytes, Utility::RBuffer<Pack>& ring,
                                  const std::string& serial) {
    auto split = splitPacks<Pack>(bytes);
    ring.write(split.packs.data(), split.packs.size());
    if (split.remainder) Utility::sdkLog().warn("Error data length status. Device: [{}]", serial);
    if (split.packs.size() > 1) Utility::sdkLog().trace("Recived more then one pack status: [{}]", split.packs.size());
    return {split.packs.begin(), split.packs.end()};
}

}  // namespace VexaDevice::Devices

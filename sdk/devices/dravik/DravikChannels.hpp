#pragma once
// The characteristics a Dravik protocol drives, found and checked once, and the two channel
// operations every part of the protocol uses.

#include <memory>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/LinkLoss.hpp"

namespace VexaDevice::Dravik {

using Channel = std::shared_ptr<BLE::IBLEChannel>;

struct DravikChannels {
    Channel battery;
    Channel acsStatus;
    Channel acsConfig;
    Channel acsCommand;
    Channel acsData;
    Channel fsStatus;
    Channel fsCommand;
    Channel fsReply;
    Channel fsStream;

    // Every channel of the device, with the properties the protocol needs; throws rt_exception
    // naming the first one missing or lacking a property.
    static DravikChannels find(BLE::IBLEDevice& device);
};

// Switches the channel's notifications on or off unless they already are; a failure is logged.
void setNotify(const Channel& channel, bool on);

// Reads `channel` up to `attempts` times while the link is not lost; throws rt_exception
// `failure` (with the read's own text after it when the read threw).
std::vector<uint8_t> readWithRetries(const Channel& channel, const char* failure, const Devices::LinkLoss& linkLoss,
                                     int attempts);

}  // namespace VexaDevice::Dravik

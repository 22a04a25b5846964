#pragma once
// The request transport of the Dravik file system: each request goes out on FS Command with a
// fresh request identifier, and its answer is the FS Reply notification that repeats its
// command and identifier. FS Reply notifications are on only while a request waits.
//
// Callers hold the protocol's command lock for each request; deliver() runs on the Bluetooth
// stack's threads.

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/common/CommandExchange.hpp"
#include "sdk/devices/common/LinkLoss.hpp"
#include "sdk/devices/dravik/DravikChannels.hpp"
#include "sdk/devices/dravik/DravikFrames.hpp"
#include "sdk/devices/dravik/DravikTiming.hpp"

namespace VexaDevice::Dravik {

class DravikRequests {
public:
    DravikRequests(Channel command, Channel reply, const Devices::LinkLoss& linkLoss, const DravikTiming& timing);
    DravikRequests(const DravikRequests&) = delete;
    DravikRequests& operator=(const DravikRequests&) = delete;

    // One request: its frame with a fresh identifier, written (failed writes again) with FS
    // Reply notifications on, and the device's result; {513} when no reply comes in time (the
    // checksum's time-out for a checksum, else the reply time-out).
    OperationResult request(uint8_t command, const std::string& name, const std::vector<uint8_t>& payload,
                            OpCmdRes* reply = nullptr);

    // An FS Reply notification.
    void deliver(const std::vector<uint8_t>& bytes);

private:
    // A fresh request identifier in [100000, 4294967295].
    uint32_t nextRequestId();
    // Writes `frame` and waits for the reply that repeats its command and request identifier.
    OperationResult exchange(const std::vector<uint8_t>& frame, std::chrono::milliseconds timeout, OpCmdRes* reply);

    const Channel reply_;
    const DravikTiming timing_;
    std::mt19937 idGenerator_;
    std::uniform_int_distribution<uint32_t> idRange_{100000u, 4294967295u};
    Devices::CommandExchange<OpCmdRes> exchange_;
};

}  // namespace VexaDevice::Dravik

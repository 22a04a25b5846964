#pragma once
// An emulated command-and-stream device on a fresh simulated radio, the BLE device that opens
// it and fast timings.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/ble/BLEDevice.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/support/WaitFor.hpp"
#include "tests/devices/common/ProtocolTimings.hpp"
#include "tests/devices/common/Recorder.hpp"

namespace KestraneTest {

using namespace std::chrono_literals;
using Frames = std::vector<std::vector<uint8_t>>;

using DevicesTest::fastProtocol;
using DevicesTest::lostReplyProtocol;

inline VexaDevice::BLE::BLEDeviceTiming fastBle() {
    VexaDevice::BLE::BLEDeviceTiming timing;
    timing.discoveryRetryPause = 1ms;
    timing.disconnectPollInterval = 1ms;
    timing.connectionBus = {50ms};
    return timing;
}

struct StreamRig {
    static constexpr uint64_t Address = 0xC0FFEE000009;

    explicit StreamRig(VexaSim::CommandStreamPeerSettings settings)
        : peer(VexaSim::CommandStreamPeer::attach(*radio, Address, std::move(settings), {4ms})) {}

    std::shared_ptr<VexaDevice::BLE::BLEDevice> open() {
        return VexaDevice::BLE::BLEDevice::create(VexaDevice::BLE::DeviceId::fromUInt64(Address), {}, fastBle());
    }

    static VexaDevice::BLE::ServiceChannels deviceInformation(VexaDevice::BLE::IBLEDevice& device) {
        return device.getChannelMap()[VexaDevice::Utility::kDeviceInformationService];
    }

    // Frames written since the first `skip`.
    Frames framesAfter(size_t skip) const {
        const Frames all = peer->commandFrames();
        return skip < all.size() ? Frames(all.begin() + static_cast<std::ptrdiff_t>(skip), all.end()) : Frames{};
    }

    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installation{radio};
    std::shared_ptr<VexaSim::CommandStreamPeer> peer;
};

using DevicesTest::Recorder;

}  // namespace KestraneTest

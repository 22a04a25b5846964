#pragma once
// A Dravik protocol on an emulated Dravik device, with every wait shrunk.

#include <chrono>
#include <memory>

#include "sdk/ble/BLEDevice.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/devices/dravik/DravikBleProtocol.hpp"
#include "sim/peers/dravik/DravikPeer.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/devices/kestrane/StreamRig.hpp"
#include "tests/support/WaitFor.hpp"

namespace DravikTest {

using namespace std::chrono_literals;

inline VexaDevice::Dravik::DravikTiming fastDravik() {
    VexaDevice::Dravik::DravikTiming timing;
    timing.workerWait = 2ms;
    timing.writeRetryPause = 2ms;
    timing.replyStep = 5ms;
    timing.replyTimeout = 500ms;
    timing.checksumTimeout = 1000ms;
    timing.statusChangeWait = 300ms;
    timing.pollStep = 2ms;
    timing.listWait = 500ms;
    timing.statusPollPeriod = 50ms;
    timing.stopWait = 100ms;
    timing.startWait = 200ms;
    return timing;
}

struct DravikRig {
    static constexpr uint64_t Address = 0xC0FFEE00D14C;

    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
    std::shared_ptr<VexaSim::DravikPeer> peer;
    std::shared_ptr<VexaDevice::BLE::BLEDevice> ble;

    explicit DravikRig(VexaSim::DravikPeerSettings settings = {},
                       std::shared_ptr<VexaSim::StimSyncLink> link = VexaSim::StimSyncLink::create()) {
        peer = VexaSim::DravikPeer::attach(*radio, Address, std::move(settings), {1ms}, std::move(link));
        ble = VexaDevice::BLE::BLEDevice::create(VexaDevice::BLE::DeviceId::fromUInt64(Address), {},
                                                 KestraneTest::fastBle());
    }

    // A delivery in flight may hold the device a moment after the test let go of it: the radio
    // and its links go only after it, here, so that no thread of theirs outlives the test.
    ~DravikRig() {
        const std::weak_ptr<VexaDevice::BLE::BLEDevice> device = ble;
        ble.reset();
        TestSupport::waitFor([&] { return device.expired(); });
    }
    DravikRig(const DravikRig&) = delete;
    DravikRig& operator=(const DravikRig&) = delete;

    std::shared_ptr<VexaDevice::Dravik::DravikBleProtocol> protocol(
        VexaDevice::Dravik::DravikTiming timing = fastDravik()) {
        return VexaDevice::Dravik::DravikBleProtocol::create(
            ble, ble->getChannelMap()[VexaDevice::Utility::kDeviceInformationService], timing);
    }
};

}  // namespace DravikTest

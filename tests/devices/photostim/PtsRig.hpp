#pragma once
// Emulated stimulators on a fresh simulated radio (a device with nothing but the
// photo-stimulation service, or a whole PhotoStim device), the BLE device that opens them and the
// timings of the tests.

#include <chrono>
#include <memory>

#include "sdk/ble/BLEDevice.hpp"
#include "sdk/devices/photostim/PhotoStimBLE.hpp"
#include "sdk/devices/photostim/PhotoStimBLEService.hpp"
#include "sim/peers/photostim/PhotoStimPeer.hpp"
#include "sim/peers/photostim/PtsServicePeer.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/devices/kestrane/StreamRig.hpp"

namespace PhotoStimTest {

using namespace std::chrono_literals;

// Waits that end as soon as the device answers: long enough never to run out on a slow run.
inline VexaDevice::Devices::StimulatorTiming answeredWaits() {
    VexaDevice::Devices::StimulatorTiming timing;
    timing.pollStep = 1ms;
    timing.resetWait = 10s;
    timing.stateWait = 10s;
    return timing;
}

// Waits that are expected to run out.
inline VexaDevice::Devices::StimulatorTiming shortWaits() {
    VexaDevice::Devices::StimulatorTiming timing;
    timing.pollStep = 1ms;
    timing.resetWait = 60ms;
    timing.stateWait = 60ms;
    return timing;
}

// A device protocol with those waits and a worker that passes every few milliseconds.
inline VexaDevice::Devices::ProtocolTiming stimulatorProtocol(
    const VexaDevice::Devices::StimulatorTiming& waits = answeredWaits()) {
    VexaDevice::Devices::ProtocolTiming timing;
    timing.stimulator = waits;
    timing.stimulator.workerWait = 2ms;
    return timing;
}

struct PtsRig {
    static constexpr uint64_t Address = 0xC0FFEE000021;

    // A device that carries nothing but the service (or, with `withService` false, nothing).
    explicit PtsRig(bool withService = true, VexaSim::PtsPeerSettings settings = {}) {
        if (withService) pts = VexaSim::PtsServicePeer::add(peripheral, settings);
    }

    std::shared_ptr<VexaDevice::BLE::BLEDevice> open() {
        return VexaDevice::BLE::BLEDevice::create(VexaDevice::BLE::DeviceId::fromUInt64(Address), {},
                                                  KestraneTest::fastBle());
    }

    std::unique_ptr<VexaDevice::PhotoStim::PhotoStimBLEService> service(
        const VexaDevice::Devices::StimulatorTiming& timing = answeredWaits(), bool required = true) {
        device = open();
        return std::make_unique<VexaDevice::PhotoStim::PhotoStimBLEService>(device, required, timing);
    }

    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installation{radio};
    std::shared_ptr<VexaSim::SimPeripheral> peripheral = radio->addPeripheral(Address, "PhotoStim");
    std::shared_ptr<VexaSim::PtsServicePeer> pts;
    std::shared_ptr<VexaDevice::BLE::BLEDevice> device;
};

struct PhotoStimRig {
    static constexpr uint64_t Address = 0xC0FFEE000022;

    explicit PhotoStimRig(VexaSim::PhotoStimPeerSettings settings = {})
        : peer(VexaSim::PhotoStimPeer::attach(*radio, Address, std::move(settings))) {}

    std::shared_ptr<VexaDevice::PhotoStim::PhotoStimBLE> make(
        const VexaDevice::Devices::ProtocolTiming& timing = stimulatorProtocol()) {
        return std::make_shared<VexaDevice::PhotoStim::PhotoStimBLE>(
            VexaDevice::BLE::BLEDevice::create(VexaDevice::BLE::DeviceId::fromUInt64(Address), {},
                                               KestraneTest::fastBle()),
            timing);
    }

    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installation{radio};
    std::shared_ptr<VexaSim::PhotoStimPeer> peer;
};

}  // namespace PhotoStimTest

// Feeds arbitrary notifications into connected sensors of every built family, through the
// simulated radio: status frames (mode and stream bits, stale or doubled answers) and data packs
// go through each protocol's handler, ring and worker to the host's data functions, while the
// host switches the device's mode with commands in between. Whatever arrives, the host is given
// only numbers it can use (no NaN in a signal record), and nothing crashes or leaks.
//
// The input is a device index, then steps: a step byte, and for a notification a length byte
// and the bytes. The emulated devices themselves answer commands and stream slowly.

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "fuzz/live/FastTiming.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/peers/morvex/MorvexPeer.hpp"
#include "sim/peers/morvex2/Morvex2Peer.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"
#include "sim/peers/tessel/TesselPeer.hpp"
#include "sim/radio/SimRadio.hpp"

using namespace std::chrono_literals;

namespace {

void noNaN(double value) {
    if (std::isnan(value)) __builtin_trap();
}

void onMorvexSignal(_Sensor*, MorvexSignalRecord* records, uint32_t count, void*) {
    for (uint32_t i = 0; i < count; ++i) {
        noNaN(records[i].O1);
        noNaN(records[i].O2);
        noNaN(records[i].T3);
        noNaN(records[i].T4);
    }
}
void onMorvexResist(_Sensor*, MorvexResistRecord* record, void*) {
    volatile double touched = record->O1 + record->O2 + record->T3 + record->T4;
    (void)touched;
}
void onChannels(_Sensor*, SignalChannelsRecord* records, uint32_t count, void*) {
    for (uint32_t i = 0; i < count; ++i)
        for (uint32_t ch = 0; ch < records[i].SampleCount; ++ch) noNaN(records[i].Samples[ch]);
}
void onResistChannels(_Sensor*, ResistChannelsRecord* records, uint32_t count, void*) {
    for (uint32_t i = 0; i < count; ++i)
        for (uint32_t ch = 0; ch < records[i].ValueCount; ++ch) {
            volatile double touched = records[i].Values[ch];
            (void)touched;
        }
}
void onTessel(_Sensor*, TesselSamplesRecord* records, uint32_t count, void*) {
    for (uint32_t i = 0; i < count; ++i)
        for (uint32_t s = 0; s < records[i].SampleCount; ++s) noNaN(records[i].Samples[s]);
}
void onBattery(_Sensor*, int32_t, void*) {}

// One connected sensor of an emulated device and the characteristics it may be sent.
struct Target {
    std::shared_ptr<VexaSim::SimPeripheral> peripheral;
    _Sensor* sensor = nullptr;
    std::vector<std::shared_ptr<VexaSim::SimCharacteristic>> notifying;
    // The host functions' handles, kept with the sensor for the whole run.
    std::array<DualCallbackHandle*, 2> duals{};
    std::array<CallbackHandle*, 4> handles{};
};

// The radio, the devices and their sensors, made once and kept for the whole run.
class Rig {
public:
    Rig() {
        LiveFuzz::useFastTiming();

        const uint8_t families[] = {SensorFamilyMorvex, SensorFamilyMorvexBlack, SensorFamilyMorvex2Model2,
                                    SensorFamilyTessel};
        CallStatus status{};
        scanner_ = createScanner(families, 4, &status);

        // The devices stream slowly: what reaches the sensors is mostly the input's.
        morvex_ = VexaSim::MorvexPeer::attach(*radio_, 0xF0, {}, {1s, 1});
        add(morvex_->peripheral(), SensorFamilyMorvex, 0);
        black_ = VexaSim::MorvexBlackPeer::attach(*radio_, 0xF1, {}, {1s});
        add(black_->peripheral(), SensorFamilyMorvexBlack, 0);
        morvex2_ = VexaSim::CommandStreamPeer::attach(*radio_, 0xF2, VexaSim::morvex2Settings('0', 2), {1s});
        add(morvex2_->peripheral(), SensorFamilyMorvex2Model2, 2);
        VexaSim::TesselPeerLook look;
        look.packPeriod = 1s;
        tessel_ = VexaSim::TesselPeer::attach(*radio_, 0xF3, {}, look);
        add(tessel_->peripheral(), SensorFamilyTessel, 0);
    }

    std::vector<Target>& targets() { return targets_; }
    VexaSim::SimRadio& radio() { return *radio_; }

private:
    void add(const std::shared_ptr<VexaSim::SimPeripheral>& peripheral, uint8_t family, uint8_t model) {
        _SensorInfo info{};
        info.SensFamily = family;
        info.SensModel = model;
        const auto address = peripheral->address();
        std::snprintf(info.Address, sizeof(info.Address), "00:00:00:00:00:%02X", static_cast<unsigned>(address));
        CallStatus status{};
        Target target{peripheral, createSensor(scanner_, &info, &status), {}};
        if (target.sensor == nullptr) __builtin_trap();
        for (const auto& service : peripheral->services())
            for (const auto& characteristic : service->characteristics())
                if (characteristic->properties() & VexaDevice::BLE::Platform::CharacteristicProperty::Notify)
                    target.notifying.push_back(characteristic);

        // Each call leaves its handle (or none, where the family has no such data) in a slot of its own.
        addSignalDataCallbackMorvex(target.sensor, onMorvexSignal, &target.duals[0], nullptr, &status);
        addResistCallbackMorvex(target.sensor, onMorvexResist, &target.duals[1], nullptr, &status);
        addSignalCallbackMorvex2(target.sensor, onChannels, &target.handles[0], nullptr, &status);
        addResistCallbackMorvex2(target.sensor, onResistChannels, &target.handles[1], nullptr, &status);
        addSignalCallbackTessel(target.sensor, onTessel, &target.handles[2], nullptr, &status);
        addBatteryCallback(target.sensor, onBattery, &target.handles[3], nullptr, &status);
        targets_.push_back(std::move(target));
    }

    std::shared_ptr<VexaSim::SimRadio> radio_ = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed_{radio_};
    SensorScannerWrap* scanner_ = nullptr;
    std::shared_ptr<VexaSim::MorvexPeer> morvex_;
    std::shared_ptr<VexaSim::MorvexBlackPeer> black_;
    std::shared_ptr<VexaSim::CommandStreamPeer> morvex2_;
    std::shared_ptr<VexaSim::TesselPeer> tessel_;
    std::vector<Target> targets_;
};

// Made on first use and never destroyed: the sensors live until the process ends.
Rig& rig() {
    static Rig* made = new Rig();
    return *made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Rig& live = rig();
    if (size == 0) return 0;
    Target& target = live.targets()[data[0] % live.targets().size()];
    size_t position = 1;
    while (position < size) {
        const uint8_t step = data[position++];
        if (step >= 0xF0) {
            // A command between notifications: start or stop the signal or the resistance.
            static constexpr int32_t Commands[] = {SensorCommandStartSignal, SensorCommandStopSignal,
                                                   SensorCommandStartResist, SensorCommandStopResist};
            CallStatus status{};
            execCommandSensor(target.sensor, Commands[step % 4], &status);
            continue;
        }
        size_t length = 0;
        if (position < size) {
            length = data[position++] % 128;
            length = std::min(length, size - position);
        }
        auto& characteristic = *target.notifying[step % target.notifying.size()];
        characteristic.notify(std::vector<uint8_t>(data + position, data + position + length));
        position += length;
    }
    live.radio().drain();
    // One worker pass at least, so that what arrived reaches the host.
    std::this_thread::sleep_for(2ms);
    return 0;
}

#pragma once
// The first-generation Morvex device: builds its protocol from the BLE device's channels and, on
// the shared family base, forwards every operation to it.

#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/FamilyDevice.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/morvex/IMorvex.hpp"
#include "sdk/devices/morvex/MorvexBleProtocol.hpp"

namespace VexaDevice::Devices {

template <>
struct LinkNotice<Morvex::MorvexBleProtocol> {
    static bool up(Morvex::MorvexBleProtocol& protocol) { return protocol.morvexOnConnected(); }
    static void down(Morvex::MorvexBleProtocol& protocol) { protocol.morvexOnDisconnected(); }
    static void rebound(Morvex::MorvexBleProtocol& protocol) { protocol.morvexOnServicesRebound(); }
};

}  // namespace VexaDevice::Devices

namespace VexaDevice::Morvex {

class MorvexBLE final : public Devices::FamilyDevice<IMorvex, MorvexBleProtocol> {
public:
    // Throws rt_exception from the protocol unchanged, std::runtime_error "Cannot create
    // Morvex BLE Device: ..." for anything else.
    explicit MorvexBLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing = {});
    // Stops a running measurement, marks the protocol disconnected and drops the link.
    ~MorvexBLE() override;

    OperationResult execCommand(const Sensor::SensorCommand& command) override;

    std::weak_ptr<Utility::EventBus<int>> batteryEvent() override { return protocol().batteryEvent(); }
    std::weak_ptr<Utility::EventBus<_ResistData>> resistEvent() override { return protocol().resistEvent(); }
    std::weak_ptr<Utility::EventBus<MorvexStatus>> stateEvent() override { return protocol().stateEvent(); }
    std::weak_ptr<Utility::EventBus<std::vector<_SignalData>>> signalEvent() override {
        return protocol().signalEvent();
    }

    OperationResult readSerialNumber(std::string& out) override {
        return Devices::give(out, protocol().serialNumber());
    }
    OperationResult readFirmwareMode(uint8_t& out) override { return Devices::give(out, protocol().firmwareMode()); }
    OperationResult readSamplingFrequency(uint8_t& out) override {
        return Devices::give(out, protocol().samplingFrequency());
    }
    OperationResult readGain(uint8_t& out) override { return Devices::give(out, protocol().gain()); }
    OperationResult writeGain(const uint8_t& gain) override { return protocol().morvexSetGain(gain); }
    OperationResult readOffset(uint8_t& out) override { return Devices::give(out, protocol().offset()); }
    OperationResult readFirmwareVersion(MorvexVersion& out) override {
        return Devices::give(out, protocol().version());
    }
    OperationResult readBattPower(int32_t& out) override { return Devices::give(out, protocol().battPower()); }
};

}  // namespace VexaDevice::Morvex

#pragma once
// The second-generation Vondra device (family 6). Models up to 2 speak the second Wrenlet
// protocol, with motion and photoplethysmogram streams; later models the Vondra2 protocol,
// which has neither. The stop commands put the device to Idle.

#include <cstdint>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/MeasuringSet.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/kestrane/WrenletBleProtocol.hpp"
#include "sdk/devices/vondra/IVondra2.hpp"
#include "sdk/devices/vondra/Vondra2BLEProtocol.hpp"

namespace VexaDevice::Vondra2 {

// The highest model byte that speaks the Wrenlet protocol.
inline constexpr uint8_t LastWrenletModel = 2;

class Vondra2BLE final : public Devices::FamilyDevice<IVondra2, Kestrane::WrenletBleProtocol, Vondra2BLEProtocol>,
                         public Devices::MeasuringSet<IVondra2, Vondra2BLE> {
public:
    // Throws rt_exception from the protocol unchanged, std::runtime_error "Cannot create
    // Vondra BLE Device: ..." for anything else.
    Vondra2BLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model, const Devices::ProtocolTiming& timing = {});
    // Powers a connected device down and disconnects it.
    ~Vondra2BLE() override;

    // The motion and photoplethysmogram commands: {514, "Unsupported command"} on the Vondra2
    // protocol.
    OperationResult execCommand(const Sensor::SensorCommand& command) override;

    // The Wrenlet protocol's buses; on the Vondra2 protocol buses nothing is published on.
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_IMUData>>> memsEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_FPGData>>> fpgEvent() override;

    OperationResult readAmplifierParam(Vondra2AmplifierParam& out) override;
    OperationResult writeAmplifierParam(const Vondra2AmplifierParam& param) override;

    // {515, "Unsupported parameter"} on the Vondra2 protocol.
    OperationResult readIrAmplitude(uint8_t& out) override;
    OperationResult writeIrAmplitude(const uint8_t& code) override;
    OperationResult readRedAmplitude(uint8_t& out) override;
    OperationResult writeRedAmplitude(const uint8_t& code) override;
    OperationResult readAccelerometerSens(uint8_t& out) override;
    OperationResult writeAccelerometerSens(const uint8_t& code) override;
    OperationResult readGyroscopeSens(uint8_t& out) override;
    OperationResult writeGyroscopeSens(const uint8_t& code) override;
    OperationResult readSamplingFrequencyFPG(uint8_t& out) override;
    OperationResult readSamplingFrequencyMEMS(uint8_t& out) override;

private:
    using MotionBus = Kestrane::CommandStreamProtocol::MotionBus;
    using FpgBus = Kestrane::CommandStreamProtocol::FpgBus;

    // `operation` on the Wrenlet protocol, or {515, "Unsupported parameter"} without it.
    template <class Operation>
    OperationResult onWrenlet(Operation&& operation) const;

    const std::shared_ptr<MotionBus> idleMotion_;
    const std::shared_ptr<FpgBus> idleFpg_;
};

}  // namespace VexaDevice::Vondra2

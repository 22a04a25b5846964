#pragma once
// The MorvexBlack device: three hardware variants behind one class. Variant 0 speaks the
// MorvexBlack protocol, variant 1 the first Wrenlet protocol, variants 2 and above the second;
// the object holds the one its variant needs and forwards every operation to it.

#include <cstdint>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/kestrane/WrenletBleProtocol.hpp"
#include "sdk/devices/morvex/IMorvexBlack.hpp"
#include "sdk/devices/morvex/MorvexBlackBleProtocol.hpp"

namespace VexaDevice::MorvexBlack {

class MorvexBLE final : public IMorvex {
public:
    // Throws rt_exception from the protocol unchanged, std::runtime_error "Cannot create Morvex
    // BLE Device: ..." for anything else.
    MorvexBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
              const Devices::ProtocolTiming& timing = {});
    ~MorvexBLE() override;
    MorvexBLE(const MorvexBLE&) = delete;
    MorvexBLE& operator=(const MorvexBLE&) = delete;

    OperationResult connect() override;
    OperationResult disconnect() override;
    Sensor::FeatureSet getFeatures() override;
    Sensor::CommandSet getCommands() override;
    Sensor::ParameterMap getParameters() override;
    OperationResult execCommand(const Sensor::SensorCommand& command) override;

    std::weak_ptr<Utility::EventBus<int>> batteryEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_ResistData>>> resistEvent() override;
    std::weak_ptr<Utility::EventBus<Kestrane::DevAmpStatus>> ampModeEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_SignalData>>> signalEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_IMUData>>> memsEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_FPGData>>> fpgEvent() override;
    std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() override;
    OperationResult ping(const int32_t& value) override;

    OperationResult readName(std::string& out) override;
    OperationResult readState(int32_t& out) override;
    OperationResult readAddress(std::string& out) override;
    OperationResult readSerialNumber(std::string& out) override;
    OperationResult readFirmwareMode(int32_t& out) override;
    OperationResult readSamplingFrequency(uint8_t& out) override;
    OperationResult readGain(uint8_t& out) override;
    OperationResult writeGain(const uint8_t& gain) override;
    OperationResult readOffset(uint8_t& out) override;
    OperationResult readFirmwareVersion(DeviceVersion& out) override;
    int32_t readBattPower() override;
    OperationResult readModelCode(uint8_t& out) override;
    OperationResult readSensorMode(uint8_t& out) override;
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
    OperationResult readSamplingFrequencyResist(uint8_t& out) override;
    OperationResult readAmplifierParam(Kestrane::WrenletAmplifierParam& out) override;
    OperationResult writeAmplifierParam(const Kestrane::WrenletAmplifierParam& param) override;

private:
    // Runs `operation` on the protocol that is present.
    template <class Operation>
    decltype(auto) onProtocol(Operation&& operation);

    // A connected device is powered down before the link goes; the result does not matter.
    void powerDownBeforeDisconnect();
    void protocolDisconnected();

    std::shared_ptr<BLE::IBLEDevice> device_;
    std::shared_ptr<MorvexBleProtocol> black_;
    std::shared_ptr<Kestrane::WrenletBleProtocol> wrenlet_;
    std::shared_ptr<BLE::ConnectionBus::Callback> connectionSubscriber_;
};

std::shared_ptr<MorvexBLE> makeMorvexBlackBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
                                              const Devices::ProtocolTiming& timing = {});

}  // namespace VexaDevice::MorvexBlack

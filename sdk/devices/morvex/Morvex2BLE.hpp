#pragma once
// The Morvex2-class device: builds its protocol from the BLE device's channels, follows the
// device's connection state and forwards every operation.

#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/morvex/IMorvex2.hpp"
#include "sdk/devices/morvex/Morvex2BleProtocol.hpp"

namespace VexaDevice::Morvex2 {

class Morvex2BLE final : public IMorvex2 {
public:
    // Throws rt_exception from the protocol unchanged, std::runtime_error "Cannot create
    // Morvex2 BLE Device: ..." for anything else.
    explicit Morvex2BLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing = {});
    ~Morvex2BLE() override;
    Morvex2BLE(const Morvex2BLE&) = delete;
    Morvex2BLE& operator=(const Morvex2BLE&) = delete;

    OperationResult connect() override;
    OperationResult disconnect() override;
    Sensor::FeatureSet getFeatures() override;
    Sensor::CommandSet getCommands() override;
    Sensor::ParameterMap getParameters() override;
    OperationResult execCommand(const Sensor::SensorCommand& command) override;

    std::weak_ptr<Utility::EventBus<int>> batteryEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_ResistData>>> resistEvent() override;
    std::weak_ptr<Utility::EventBus<DevAmpStatus>> ampModeEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_SignalData>>> signalEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_IMUData>>> memsEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_FPGData>>> fpgEvent() override;
    std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() override;
    OperationResult ping(const int32_t& value) override;

    OperationResult readName(std::string& out) override;
    OperationResult readState(int32_t& out) override;
    OperationResult readAddress(std::string& out) override;
    OperationResult readSerialNumber(std::string& out) override;
    OperationResult readFirmwareMode(uint8_t& out) override;
    OperationResult readSamplingFrequency(uint8_t& out) override;
    OperationResult readSamplingFrequencyResist(uint8_t& out) override;
    OperationResult readOffset(uint8_t& out) override;
    OperationResult readFirmwareVersion(DeviceVersion& out) override;
    OperationResult readBattPower(int32_t& out) override;
    OperationResult readModelCode(uint8_t& out) override;
    OperationResult readSensorMode(uint8_t& out) override;
    OperationResult readAmplifierParam(Morvex2AmplifierParam& out) override;
    OperationResult writeAmplifierParam(const Morvex2AmplifierParam& param) override;
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
    OperationResult readSensorChannels(std::vector<Sensor::EEGChannelInfo>& out) override;

private:
    // A connected device is powered down before the link goes; the result does not matter.
    void powerDownBeforeDisconnect();

    std::shared_ptr<BLE::IBLEDevice> device_;
    std::shared_ptr<Morvex2BleProtocol> protocol_;
    std::shared_ptr<BLE::ConnectionBus::Callback> connectionSubscriber_;
};

std::shared_ptr<Morvex2BLE> makeMorvex2BLE(std::shared_ptr<BLE::IBLEDevice> device,
                                          const Devices::ProtocolTiming& timing = {});

}  // namespace VexaDevice::Morvex2

#pragma once
// The first-generation Morvex device: builds its protocol from the BLE device's channels,
// follows the device's connection state and forwards every operation.

#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/morvex/IMorvex.hpp"
#include "sdk/devices/morvex/MorvexBleProtocol.hpp"

namespace VexaDevice::Morvex {

class MorvexBLE final : public IMorvex {
public:
    // Throws rt_exception from the protocol unchanged, std::runtime_error "Cannot create
    // Morvex BLE Device: ..." for anything else.
    explicit MorvexBLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing = {});
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
    std::weak_ptr<Utility::EventBus<_ResistData>> resistEvent() override;
    std::weak_ptr<Utility::EventBus<MorvexStatus>> stateEvent() override;
    std::weak_ptr<Utility::EventBus<std::vector<_SignalData>>> signalEvent() override;
    std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() override;

    OperationResult readName(std::string& out) override;
    OperationResult readState(int32_t& out) override;
    OperationResult readAddress(std::string& out) override;
    OperationResult readSerialNumber(std::string& out) override;
    OperationResult readFirmwareMode(uint8_t& out) override;
    OperationResult readSamplingFrequency(uint8_t& out) override;
    OperationResult readGain(uint8_t& out) override;
    OperationResult writeGain(const uint8_t& gain) override;
    OperationResult readOffset(uint8_t& out) override;
    OperationResult readFirmwareVersion(MorvexVersion& out) override;
    OperationResult readBattPower(int32_t& out) override;

private:
    // A measurement still running is stopped while the link is up.
    void stopBeforeDisconnect();

    std::shared_ptr<BLE::IBLEDevice> device_;
    std::shared_ptr<MorvexBleProtocol> protocol_;
    std::shared_ptr<BLE::ConnectionBus::Callback> connectionSubscriber_;
};

}  // namespace VexaDevice::Morvex

#pragma once
// The Morvex2-class device: builds its protocol from the BLE device's channels and, on the shared
// stream-device base, forwards every operation to it.

#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/MeasuringSet.hpp"
#include "sdk/devices/common/StreamSet.hpp"
#include "sdk/devices/morvex/IMorvex2.hpp"
#include "sdk/devices/morvex/Morvex2BleProtocol.hpp"

namespace VexaDevice::Morvex2 {

class Morvex2BLE final : public Devices::FamilyDevice<IMorvex2, Morvex2BleProtocol>,
                         public Devices::MeasuringSet<IMorvex2, Morvex2BLE>,
                         public Devices::StreamSet<IMorvex2, Morvex2BLE> {
public:
    // Throws rt_exception from the protocol unchanged, std::runtime_error "Cannot create
    // Morvex2 BLE Device: ..." for anything else.
    explicit Morvex2BLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing = {});
    ~Morvex2BLE() override;

    OperationResult execCommand(const Sensor::SensorCommand& command) override;

    OperationResult readFirmwareMode(uint8_t& out) override;
    OperationResult readBattPower(int32_t& out) override;
    OperationResult readAmplifierParam(Morvex2AmplifierParam& out) override;
    OperationResult writeAmplifierParam(const Morvex2AmplifierParam& param) override;
    OperationResult readSensorChannels(std::vector<Sensor::EEGChannelInfo>& out) override;
};

std::shared_ptr<Morvex2BLE> makeMorvex2BLE(std::shared_ptr<BLE::IBLEDevice> device,
                                           const Devices::ProtocolTiming& timing = {});

}  // namespace VexaDevice::Morvex2

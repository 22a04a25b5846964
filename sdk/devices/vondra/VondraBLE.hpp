#pragma once
// The first-generation Vondra device (family 5): builds its protocol from the BLE device's
// channels and, on the shared measuring-device base, forwards every operation to it. The stop
// commands power the device down.

#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/MeasuringSet.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/vondra/IVondra.hpp"
#include "sdk/devices/vondra/VondraBLEProtocol.hpp"

namespace VexaDevice::Vondra {

class VondraBLE final : public Devices::FamilyDevice<IVondra, VondraBLEProtocol>,
                        public Devices::MeasuringSet<IVondra, VondraBLE> {
public:
    // Throws std::runtime_error "Cannot create Vondra BLE Device: ..." with the protocol's text
    // after the colon.
    explicit VondraBLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing = {});
    // Powers a connected device down and disconnects it.
    ~VondraBLE() override;

    // Unsupported commands: failure with code 0 and no text.
    OperationResult execCommand(const Sensor::SensorCommand& command) override;

    OperationResult readAmplifierParam(VondraAmplifierParam& out) override;
    OperationResult writeAmplifierParam(const VondraAmplifierParam& param) override;
};

}  // namespace VexaDevice::Vondra

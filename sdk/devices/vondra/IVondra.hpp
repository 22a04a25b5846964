#pragma once
// Interface of the first Vondra generation (seven channels): the sensor interface, then the
// event buses, the ping, the identity reads, then the amplifier reads and setting, in this
// order.

#include <cstdint>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/devices/common/AmplifierSlots.hpp"
#include "sdk/devices/common/IdentitySlots.hpp"
#include "sdk/devices/kestrane/SignalBusSlots.hpp"
#include "sdk/devices/vondra/VondraRecords.hpp"

namespace VexaDevice::Vondra {

// The slots before the identity reads.
class IVondraLink : public Kestrane::SignalBusSlots<Sensor::ISensor, _VondraResistData, _VondraSignalData> {
public:
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual OperationResult ping(const int32_t& value) = 0;
};

class IVondra : public Devices::AmplifierSlots<Devices::IdentitySlots<IVondraLink>, VondraAmplifierParam> {};

}  // namespace VexaDevice::Vondra

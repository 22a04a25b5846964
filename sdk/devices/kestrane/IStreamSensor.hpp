#pragma once
// The slots every command-and-stream family interface opens with, in this order: the sensor
// interface, the battery, resistance, mode, signal, motion and photoplethysmogram buses, the
// connection bus, the ping, then the name, state, address and serial-number reads. A family
// interface derives from it and declares its own slots after these.

#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/common/IdentitySlots.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/kestrane/SignalBusSlots.hpp"

namespace VexaDevice::Kestrane {

// The slots before the identity reads.
class IStreamLink : public SignalBusSlots<Sensor::ISensor, _ResistData, _SignalData> {
public:
    virtual std::weak_ptr<Utility::EventBus<std::vector<_IMUData>>> memsEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_FPGData>>> fpgEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual OperationResult ping(const int32_t& value) = 0;
};

class IStreamSensor : public Devices::IdentitySlots<IStreamLink> {};

}  // namespace VexaDevice::Kestrane

#pragma once
// Interface of the first-generation Morvex device: the sensor interface, then the family's
// event buses, the identity reads, the gain reads (the firmware version as this family reads
// it) and the battery, in this order.

#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/common/GainSlots.hpp"
#include "sdk/devices/common/IdentitySlots.hpp"
#include "sdk/devices/morvex/MorvexRecords.hpp"

namespace VexaDevice::Morvex {

// The slots before the identity reads.
class IMorvexBuses : public Sensor::ISensor {
public:
    virtual std::weak_ptr<Utility::EventBus<int>> batteryEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<_ResistData>> resistEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<MorvexStatus>> stateEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_SignalData>>> signalEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
};

class IMorvex : public Devices::GainSlots<Devices::IdentitySlots<IMorvexBuses>, uint8_t, MorvexVersion> {
public:
    virtual OperationResult readBattPower(int32_t& out) = 0;
};

}  // namespace VexaDevice::Morvex

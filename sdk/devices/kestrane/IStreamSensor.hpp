#pragma once
// The slots every command-and-stream family interface opens with, in this order: the sensor
// interface, the battery, resistance, mode, signal, motion and photoplethysmogram buses, the
// connection bus, the ping, then the name, state, address and serial-number reads. A family
// interface derives from it and declares its own slots after these.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Kestrane {

class IStreamSensor : public Sensor::ISensor {
public:
    virtual std::weak_ptr<Utility::EventBus<int>> batteryEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_ResistData>>> resistEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<DevAmpStatus>> ampModeEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_SignalData>>> signalEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_IMUData>>> memsEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_FPGData>>> fpgEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual OperationResult ping(const int32_t& value) = 0;

    virtual OperationResult readName(std::string& out) = 0;
    virtual OperationResult readState(int32_t& out) = 0;
    virtual OperationResult readAddress(std::string& out) = 0;
    virtual OperationResult readSerialNumber(std::string& out) = 0;
};

}  // namespace VexaDevice::Kestrane

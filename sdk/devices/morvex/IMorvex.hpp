#pragma once
// Interface of the first-generation Morvex device: the sensor interface, then the family's
// event buses and parameter reads and writes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/morvex/MorvexRecords.hpp"

namespace VexaDevice::Morvex {

class IMorvex : public Sensor::ISensor {
public:
    virtual std::weak_ptr<Utility::EventBus<int>> batteryEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<_ResistData>> resistEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<MorvexStatus>> stateEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_SignalData>>> signalEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;

    virtual OperationResult readName(std::string& out) = 0;
    virtual OperationResult readState(int32_t& out) = 0;
    virtual OperationResult readAddress(std::string& out) = 0;
    virtual OperationResult readSerialNumber(std::string& out) = 0;
    virtual OperationResult readFirmwareMode(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readGain(uint8_t& out) = 0;
    virtual OperationResult writeGain(const uint8_t& gain) = 0;
    virtual OperationResult readOffset(uint8_t& out) = 0;
    virtual OperationResult readFirmwareVersion(MorvexVersion& out) = 0;
    virtual OperationResult readBattPower(int32_t& out) = 0;
};

}  // namespace VexaDevice::Morvex

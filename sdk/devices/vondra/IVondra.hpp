#pragma once
// Interface of the first Vondra generation (seven channels): the sensor interface, then the
// event buses, the ping, the identity reads, then the amplifier reads and setting, in this
// order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/devices/common/AmplifierSlots.hpp"
#include "sdk/devices/vondra/VondraRecords.hpp"

namespace VexaDevice::Vondra {

// The slots before the amplifier reads.
class IVondraLink : public Sensor::ISensor {
public:
    virtual std::weak_ptr<Utility::EventBus<int>> batteryEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_VondraResistData>>> resistEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<DevAmpStatus>> ampModeEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_VondraSignalData>>> signalEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual OperationResult ping(const int32_t& value) = 0;

    virtual OperationResult readName(std::string& out) = 0;
    virtual OperationResult readState(int32_t& out) = 0;
    virtual OperationResult readAddress(std::string& out) = 0;
    virtual OperationResult readSerialNumber(std::string& out) = 0;
};

class IVondra : public Devices::AmplifierSlots<IVondraLink, VondraAmplifierParam> {};

}  // namespace VexaDevice::Vondra

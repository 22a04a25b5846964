#pragma once
// The device base of the families whose interface offers the command-and-stream set: battery,
// resistance, mode, signal, motion and photoplethysmogram buses, the ping, the serial number,
// version, model and mode reads, the sampling frequencies and the motion and photoplethysmogram
// codes. Each of these forwards to the protocol that is present; the family class adds what is
// its own (execCommand, firmware mode, battery read, amplifier, gain, channel list).
//
//   class Morvex2BLE final : public Devices::StreamDevice<IMorvex2, Morvex2BleProtocol> { ... };
//
// The types come from the family interface, so each interface keeps its own declarations.

#include <cstdint>
#include <string>
#include <utility>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/common/FamilyDevice.hpp"

namespace VexaDevice::Devices {

template <class Interface, class... Protocols>
class StreamDevice : public FamilyDevice<Interface, Protocols...> {
    using Base = FamilyDevice<Interface, Protocols...>;
    template <class Method>
    using Answer = decltype((std::declval<Interface&>().*std::declval<Method>())());

public:
    Answer<decltype(&Interface::batteryEvent)> batteryEvent() override
    {
        return this->onProtocol([](auto& protocol) { return protocol.batteryEvent(); });
    }
    Answer<decltype(&Interface::resistEvent)> resistEvent() override
    {
        return this->onProtocol([](auto& protocol) { return protocol.resistEvent(); });
    }
    Answer<decltype(&Interface::ampModeEvent)> ampModeEvent() override
    {
        return this->onProtocol([](auto& protocol) { return protocol.ampModeEvent(); });
    }
    Answer<decltype(&Interface::signalEvent)> signalEvent() override
    {
        return this->onProtocol([](auto& protocol) { return protocol.signalEvent(); });
    }
    Answer<decltype(&Interface::memsEvent)> memsEvent() override
    {
        return this->onProtocol([](auto& protocol) { return protocol.memsEvent(); });
    }
    Answer<decltype(&Interface::fpgEvent)> fpgEvent() override
    {
        return this->onProtocol([](auto& protocol) { return protocol.fpgEvent(); });
    }

    OperationResult ping(const int32_t& value) override
    {
        return this->onProtocol([value](auto& protocol) { return protocol.ping(value); });
    }

    OperationResult readSerialNumber(std::string& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.serialNumber(); }));
    }
    OperationResult readFirmwareVersion(DeviceVersion& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.deviceVersion(); }));
    }
    OperationResult readModelCode(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.modelCode(); }));
    }
    OperationResult readSensorMode(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.ampMode(); }));
    }
    // The device sends its samples without an offset.
    OperationResult readOffset(uint8_t& out) override { return give(out, uint8_t{0}); }

    OperationResult readSamplingFrequency(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.samplingFrequency(); }));
    }
    OperationResult readSamplingFrequencyResist(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.samplingFrequencyResist(); }));
    }
    OperationResult readSamplingFrequencyMEMS(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.samplingFrequencyMEMS(); }));
    }
    OperationResult readSamplingFrequencyFPG(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.samplingFrequencyFPG(); }));
    }

    OperationResult readAccelerometerSens(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.accelerometerSens(); }));
    }
    OperationResult writeAccelerometerSens(const uint8_t& code) override
    {
        return this->onProtocol([code](auto& protocol) { return protocol.setAccelerometerSens(code); });
    }
    OperationResult readGyroscopeSens(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.gyroscopeSens(); }));
    }
    OperationResult writeGyroscopeSens(const uint8_t& code) override
    {
        return this->onProtocol([code](auto& protocol) { return protocol.setGyroscopeSens(code); });
    }
    OperationResult readIrAmplitude(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.irAmplitude(); }));
    }
    OperationResult writeIrAmplitude(const uint8_t& code) override
    {
        return this->onProtocol([code](auto& protocol) { return protocol.setIrAmplitude(code); });
    }
    OperationResult readRedAmplitude(uint8_t& out) override
    {
        return give(out, this->onProtocol([](auto& protocol) { return protocol.redAmplitude(); }));
    }
    OperationResult writeRedAmplitude(const uint8_t& code) override
    {
        return this->onProtocol([code](auto& protocol) { return protocol.setRedAmplitude(code); });
    }

protected:
    using Base::Base;
};

}  // namespace VexaDevice::Devices

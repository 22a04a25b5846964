#pragma once
// The device base of the families whose interface offers the command-and-stream set: the
// measuring set of MeasuringDevice (battery, resistance, mode and signal buses, ping, serial,
// version, model, mode, battery, firmware mode, offset, sampling frequencies) and the motion
// and photoplethysmogram buses, sampling frequencies and codes. Each of these forwards to the
// protocol that is present; the family class adds what is its own (execCommand, amplifier,
// gain, channel list).
//
//   class Morvex2BLE final : public Devices::StreamDevice<IMorvex2, Morvex2BleProtocol> { ... };
//
// The types come from the family interface, so each interface keeps its own declarations.

#include <cstdint>

#include "sdk/devices/common/MeasuringDevice.hpp"

namespace VexaDevice::Devices {

template <class Interface, class... Protocols>
class StreamDevice : public MeasuringDevice<Interface, Protocols...> {
    using Base = MeasuringDevice<Interface, Protocols...>;
    template <class Method>
    using Answer = typename Base::template Answer<Method>;

public:
    Answer<decltype(&Interface::memsEvent)> memsEvent() override
    {
        return this->onProtocol([](auto& protocol) { return protocol.memsEvent(); });
    }
    Answer<decltype(&Interface::fpgEvent)> fpgEvent() override
    {
        return this->onProtocol([](auto& protocol) { return protocol.fpgEvent(); });
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

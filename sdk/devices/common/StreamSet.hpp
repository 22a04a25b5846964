#pragma once
// The motion and photoplethysmogram set, for a family interface that offers it beside the
// measuring set (MeasuringSet): the buses, sampling frequencies and codes. Each of these
// forwards to the protocol that is present.
//
//   class Morvex2BLE final : public Devices::FamilyDevice<IMorvex2, Morvex2BleProtocol>,
//                            public Devices::MeasuringSet<IMorvex2, Morvex2BLE>,
//                            public Devices::StreamSet<IMorvex2, Morvex2BLE> { ... };
//
// The types come from the family interface, so each interface keeps its own declarations.

#include <cstdint>
#include <utility>

#include "sdk/devices/common/FamilyDevice.hpp"
#include "sdk/devices/common/SelfProtocol.hpp"

namespace VexaDevice::Devices {

template <class Interface, class Self>
class StreamSet : public virtual Interface {
    template <class Method>
    using Answer = AnswerOf<Interface, Method>;

public:
    Answer<decltype(&Interface::memsEvent)> memsEvent() override {
        return SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.memsEvent(); });
    }
    Answer<decltype(&Interface::fpgEvent)> fpgEvent() override {
        return SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.fpgEvent(); });
    }

    OperationResult readSamplingFrequencyMEMS(uint8_t& out) override {
        return give(out,
                    SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.samplingFrequencyMEMS(); }));
    }
    OperationResult readSamplingFrequencyFPG(uint8_t& out) override {
        return give(out,
                    SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.samplingFrequencyFPG(); }));
    }

    OperationResult readAccelerometerSens(uint8_t& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.accelerometerSens(); }));
    }
    OperationResult writeAccelerometerSens(const uint8_t& code) override {
        return SelfProtocol<Self>::run(*this, [code](auto& protocol) { return protocol.setAccelerometerSens(code); });
    }
    OperationResult readGyroscopeSens(uint8_t& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.gyroscopeSens(); }));
    }
    OperationResult writeGyroscopeSens(const uint8_t& code) override {
        return SelfProtocol<Self>::run(*this, [code](auto& protocol) { return protocol.setGyroscopeSens(code); });
    }
    OperationResult readIrAmplitude(uint8_t& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.irAmplitude(); }));
    }
    OperationResult writeIrAmplitude(const uint8_t& code) override {
        return SelfProtocol<Self>::run(*this, [code](auto& protocol) { return protocol.setIrAmplitude(code); });
    }
    OperationResult readRedAmplitude(uint8_t& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.redAmplitude(); }));
    }
    OperationResult writeRedAmplitude(const uint8_t& code) override {
        return SelfProtocol<Self>::run(*this, [code](auto& protocol) { return protocol.setRedAmplitude(code); });
    }
};

}  // namespace VexaDevice::Devices

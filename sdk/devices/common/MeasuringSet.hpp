#pragma once
// The measuring set, for a family interface that offers it: battery, resistance, mode and
// signal buses, the ping, the serial number, version, model and mode reads, the battery level
// and the firmware mode (see MeasuringReads), the data offset and the signal and resistance
// sampling frequencies. Each of these forwards to the protocol that is present; the family
// class adds what is its own (execCommand, amplifier, ...).
//
// A set is a mixin beside the device base, named with the family class (`Self`) it is part of,
// which reaches the protocol through FamilyDevice:
//
//   class VondraBLE final : public Devices::FamilyDevice<IVondra, VondraBLEProtocol>,
//                           public Devices::MeasuringSet<IVondra, VondraBLE> { ... };
//
// The types come from the family interface, so each interface keeps its own declarations.
// StreamSet is the motion and photoplethysmogram set.

#include <concepts>
#include <cstdint>
#include <string>
#include <utility>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/common/FamilyDevice.hpp"
#include "sdk/devices/common/SelfProtocol.hpp"

namespace VexaDevice::Devices {

// The battery level and firmware mode reads, for an interface that declares them in the
// measuring set's shape; an interface whose reads of these have another shape (MorvexBlack)
// leaves them to its family class.
template <class Interface, class Self>
class MeasuringReads : public virtual Interface {};

template <class Interface, class Self>
requires requires(Interface& device, int32_t& level, uint8_t& mode) {
    { device.readBattPower(level) } -> std::same_as<OperationResult>;
    { device.readFirmwareMode(mode) } -> std::same_as<OperationResult>;
}
class MeasuringReads<Interface, Self> : public virtual Interface {
public:
    OperationResult readBattPower(int32_t& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.battPower(); }));
    }
    // The devices run their one firmware mode.
    OperationResult readFirmwareMode(uint8_t& out) override { return give(out, uint8_t{1}); }
};

template <class Interface, class Self>
class MeasuringSet : public MeasuringReads<Interface, Self> {
    template <class Method>
    using Answer = AnswerOf<Interface, Method>;

public:
    Answer<decltype(&Interface::batteryEvent)> batteryEvent() override {
        return SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.batteryEvent(); });
    }
    Answer<decltype(&Interface::resistEvent)> resistEvent() override {
        return SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.resistEvent(); });
    }
    Answer<decltype(&Interface::ampModeEvent)> ampModeEvent() override {
        return SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.ampModeEvent(); });
    }
    Answer<decltype(&Interface::signalEvent)> signalEvent() override {
        return SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.signalEvent(); });
    }

    OperationResult ping(const int32_t& value) override {
        return SelfProtocol<Self>::run(*this, [value](auto& protocol) { return protocol.ping(value); });
    }

    OperationResult readSerialNumber(std::string& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.serialNumber(); }));
    }
    OperationResult readFirmwareVersion(DeviceVersion& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.deviceVersion(); }));
    }
    OperationResult readModelCode(uint8_t& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.modelCode(); }));
    }
    OperationResult readSensorMode(uint8_t& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.ampMode(); }));
    }
    // The device sends its samples without an offset.
    OperationResult readOffset(uint8_t& out) override { return give(out, uint8_t{0}); }

    OperationResult readSamplingFrequency(uint8_t& out) override {
        return give(out, SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.samplingFrequency(); }));
    }
    OperationResult readSamplingFrequencyResist(uint8_t& out) override {
        return give(out,
                    SelfProtocol<Self>::run(*this, [](auto& protocol) { return protocol.samplingFrequencyResist(); }));
    }
};

}  // namespace VexaDevice::Devices

#pragma once
// The device base of a four-channel headband family whose first models speak a protocol of the
// family's own (`Own`) and whose later models speak the Wrenlet protocols (MorvexBlack, Lorrel):
// the commands, the gain (the own protocol's index; the Wrenlet models report 4 and refuse a
// new one) and the amplifier record (the Wrenlet models only). The family class builds the
// protocol its model needs, adds the measuring and stream sets beside it, and what is its own.
//
//   class LorrelBLE final : public Kestrane::WrenletHeadband<ILorrel, LorrelBleProtocol>,
//                           public Devices::MeasuringSet<ILorrel, LorrelBLE>,
//                           public Devices::StreamSet<ILorrel, LorrelBLE> { ... };

#include <cstdint>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/devices/common/ModeCommands.hpp"
#include "sdk/devices/common/FamilyDevice.hpp"
#include "sdk/devices/kestrane/WrenletBleProtocol.hpp"

namespace VexaDevice::Kestrane {

template <class Interface, class Own>
class WrenletHeadband : public Devices::FamilyDevice<Interface, Own, WrenletBleProtocol> {
    using Base = Devices::FamilyDevice<Interface, Own, WrenletBleProtocol>;

public:
    // Signal and resistance at once are the Wrenlet models' only.
    OperationResult execCommand(const Sensor::SensorCommand& command) override {
        const auto done =
            this->onProtocol([command](auto& protocol) { return Devices::modeCommand(protocol, command); });
        return done ? *done : notExecuted();
    }

    OperationResult readGain(uint8_t& out) override {
        const auto* own = this->template protocolAs<Own>();
        return Devices::give(out, own ? own->gain() : WrenletGainIndex);
    }
    OperationResult writeGain(const uint8_t& gain) override {
        auto* own = this->template protocolAs<Own>();
        return own ? own->setGain(gain) : unsupportedParameter();
    }
    OperationResult readAmplifierParam(WrenletAmplifierParam& out) override {
        const auto* wrenlet = this->template protocolAs<WrenletBleProtocol>();
        return wrenlet ? wrenlet->amplifierParam(out) : unsupportedParameter();
    }
    OperationResult writeAmplifierParam(const WrenletAmplifierParam& param) override {
        auto* wrenlet = this->template protocolAs<WrenletBleProtocol>();
        return wrenlet ? wrenlet->setAmplifierParam(param) : unsupportedParameter();
    }

protected:
    using Base::Base;

private:
    static constexpr uint8_t WrenletGainIndex = 4;

    static OperationResult unsupportedParameter() {
        return OperationResult::failed(Utility::kKspErrors.unsupportedParam, "Unsupported parameter");
    }
    // What the exported interface turns into its own default failure.
    static OperationResult notExecuted() { return OperationResult::failed(0, ""); }
};

}  // namespace VexaDevice::Kestrane

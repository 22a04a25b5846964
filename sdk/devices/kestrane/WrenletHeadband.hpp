#pragma once
// The device base of a four-channel headband family whose first models speak a protocol of the
// family's own (`Own`) and whose later models speak the Wrenlet protocols (MorvexBlack, Lorrel):
// the commands, the gain (the own protocol's index; the Wrenlet models report 4 and refuse a
// new one) and the amplifier record (the Wrenlet models only). The family class builds the
// protocol its model needs and adds what is its own.
//
//   class LorrelBLE final : public Kestrane::WrenletHeadband<ILorrel, LorrelBleProtocol> { ... };

#include <cstdint>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/devices/common/StreamDevice.hpp"
#include "sdk/devices/kestrane/WrenletBleProtocol.hpp"

namespace VexaDevice::Kestrane {

template <class Interface, class Own>
class WrenletHeadband : public Devices::StreamDevice<Interface, Own, WrenletBleProtocol> {
    using Base = Devices::StreamDevice<Interface, Own, WrenletBleProtocol>;

public:
    // Stopping a stream, the signal or the resistance powers the device down; signal and
    // resistance at once are the Wrenlet models' only.
    OperationResult execCommand(const Sensor::SensorCommand& command) override
    {
        using Sensor::SensorCommand;
        switch (command) {
        case SensorCommand::StartSignal: return this->onProtocol([](auto& protocol) { return protocol.startSignal(); });
        case SensorCommand::StopSignal:
        case SensorCommand::StopResist:
        case SensorCommand::PowerDown:
        case SensorCommand::StopSignalAndResist:
            return this->onProtocol([](auto& protocol) { return protocol.powerDown(); });
        case SensorCommand::StartResist: return this->onProtocol([](auto& protocol) { return protocol.startResist(); });
        case SensorCommand::StartMEMS: return this->onProtocol([](auto& protocol) { return protocol.startMEMS(); });
        case SensorCommand::StopMEMS: return this->onProtocol([](auto& protocol) { return protocol.stopMEMS(); });
        case SensorCommand::Idle: return this->onProtocol([](auto& protocol) { return protocol.setIdle(); });
        case SensorCommand::StartFPG: return this->onProtocol([](auto& protocol) { return protocol.startFPG(); });
        case SensorCommand::StopFPG: return this->onProtocol([](auto& protocol) { return protocol.stopFPG(); });
        case SensorCommand::StartSignalAndResist: {
            auto* wrenlet = this->template protocolAs<WrenletBleProtocol>();
            return wrenlet ? wrenlet->startSignalAndResist() : notExecuted();
        }
        default: return notExecuted();
        }
    }

    OperationResult readGain(uint8_t& out) override
    {
        const auto* own = this->template protocolAs<Own>();
        return Devices::give(out, own ? own->gain() : WrenletGainIndex);
    }
    OperationResult writeGain(const uint8_t& gain) override
    {
        auto* own = this->template protocolAs<Own>();
        return own ? own->setGain(gain) : unsupportedParameter();
    }
    OperationResult readAmplifierParam(WrenletAmplifierParam& out) override
    {
        const auto* wrenlet = this->template protocolAs<WrenletBleProtocol>();
        return wrenlet ? wrenlet->amplifierParam(out) : unsupportedParameter();
    }
    OperationResult writeAmplifierParam(const WrenletAmplifierParam& param) override
    {
        auto* wrenlet = this->template protocolAs<WrenletBleProtocol>();
        return wrenlet ? wrenlet->setAmplifierParam(param) : unsupportedParameter();
    }

protected:
    using Base::Base;

private:
    static constexpr uint8_t WrenletGainIndex = 4;

    static OperationResult unsupportedParameter()
    {
        return OperationResult::failed(Utility::kErrUnsupportedParam, "Unsupported parameter");
    }
    // What the exported interface turns into its own default failure.
    static OperationResult notExecuted() { return OperationResult::failed(0, ""); }
};

}  // namespace VexaDevice::Kestrane

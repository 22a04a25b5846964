#pragma once
// The sensor commands the measuring families map alike onto their protocol: start the signal,
// the resistance or both, go idle, power down (what every stop does), and start or stop the
// motion and photoplethysmogram streams. A command the protocol has no operation for, and any
// other command, is left to the family (no value); so is the stop of signal and resistance where
// the protocol does not list it, as its start is not offered there either.
//
//   if (auto done = Devices::modeCommand(protocol(), command)) return *done;
//   return OperationResult::failed(0, "");

#include <optional>

#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Devices {

template <class Protocol>
std::optional<OperationResult> modeCommand(Protocol& protocol, Sensor::SensorCommand command) {
    using Sensor::SensorCommand;
    switch (command) {
    case SensorCommand::StartSignal: return protocol.startSignal();
    case SensorCommand::StopSignal:
    case SensorCommand::StopResist:
    case SensorCommand::PowerDown: return protocol.powerDown();
    case SensorCommand::StopSignalAndResist:
        if (protocol.supportedCommands().contains(Sensor::toInt(command))) return protocol.powerDown();
        break;
    case SensorCommand::StartResist: return protocol.startResist();
    case SensorCommand::Idle: return protocol.setIdle();
    case SensorCommand::StartSignalAndResist:
        if constexpr (requires { protocol.startSignalAndResist(); }) return protocol.startSignalAndResist();
        break;
    case SensorCommand::StartMEMS:
        if constexpr (requires { protocol.startMEMS(); }) return protocol.startMEMS();
        break;
    case SensorCommand::StopMEMS:
        if constexpr (requires { protocol.stopMEMS(); }) return protocol.stopMEMS();
        break;
    case SensorCommand::StartFPG:
        if constexpr (requires { protocol.startFPG(); }) return protocol.startFPG();
        break;
    case SensorCommand::StopFPG:
        if constexpr (requires { protocol.stopFPG(); }) return protocol.stopFPG();
        break;
    default: break;
    }
    return std::nullopt;
}

}  // namespace VexaDevice::Devices

#include "sdk/devices/vondra/Vondra2BLE.hpp"

#include <algorithm>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/DeviceInfoReader.hpp"

namespace VexaDevice::Vondra2 {

using Kestrane::WrenletAmplifierParam;
using Kestrane::WrenletBleProtocol;
using Sensor::SensorCommand;

namespace {

constexpr size_t BusCapacity = 2048;

OperationResult unsupportedParameter() {
    return OperationResult::failed(Utility::kKspErrors.unsupportedParam, "Unsupported parameter");
}

OperationResult unsupportedCommand() {
    return OperationResult::failed(Utility::kKspErrors.unsupportedCommand, "Unsupported command");
}

// The Wrenlet protocol keeps the same indices (gain, current) in a record of its own.
WrenletAmplifierParam wrenletForm(const Vondra2AmplifierParam& param) {
    WrenletAmplifierParam wrenlet;
    std::ranges::copy(param.signalUse, wrenlet.signalEnabled.begin());
    std::ranges::copy(param.resistUse, wrenlet.resistEnabled.begin());
    std::ranges::copy(param.gain, wrenlet.gain.begin());
    wrenlet.current = param.current;
    return wrenlet;
}

Vondra2AmplifierParam vondraForm(const WrenletAmplifierParam& wrenlet) {
    Vondra2AmplifierParam param;
    std::ranges::copy(wrenlet.signalEnabled, param.signalUse.begin());
    std::ranges::copy(wrenlet.resistEnabled, param.resistUse.begin());
    std::ranges::copy(wrenlet.gain, param.gain.begin());
    param.current = wrenlet.current;
    return param;
}

}  // namespace

Vondra2BLE::Vondra2BLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model, const Devices::ProtocolTiming& timing)
    : FamilyDevice(
          std::move(device), "Vondra BLE Device",
          [model, &timing](const std::shared_ptr<BLE::IBLEDevice>& ble, BLE::ChannelMap& channels) -> ProtocolSlot {
              auto& information = channels[Utility::kDeviceInformationService];
              if (model <= LastWrenletModel) return Kestrane::makeWrenletBleProtocol2(ble, information, timing);
              return makeVondra2BLEProtocol(ble, information, timing);
          }),
      idleMotion_(std::make_shared<MotionBus>(BusCapacity)),
      idleFpg_(std::make_shared<FpgBus>(BusCapacity)) {}

Vondra2BLE::~Vondra2BLE() { release({.family = "Vondra2", .disconnectLink = true}); }

template <class Operation>
OperationResult Vondra2BLE::onWrenlet(Operation&& operation) const {
    if (auto* wrenlet = protocolAs<WrenletBleProtocol>()) return operation(*wrenlet);
    return unsupportedParameter();
}

OperationResult Vondra2BLE::execCommand(const SensorCommand& command) {
    auto* wrenlet = protocolAs<WrenletBleProtocol>();
    switch (command) {
    case SensorCommand::StartSignal: return onProtocol([](auto& protocol) { return protocol.startSignal(); });
    case SensorCommand::StopSignal:
    case SensorCommand::StopResist:
    case SensorCommand::Idle:
    case SensorCommand::StopSignalAndResist: return onProtocol([](auto& protocol) { return protocol.setIdle(); });
    case SensorCommand::StartResist: return onProtocol([](auto& protocol) { return protocol.startResist(); });
    case SensorCommand::PowerDown: return onProtocol([](auto& protocol) { return protocol.powerDown(); });
    case SensorCommand::StartSignalAndResist:
        return onProtocol([](auto& protocol) { return protocol.startSignalAndResist(); });
    case SensorCommand::StartMEMS: return wrenlet ? wrenlet->startMEMS() : unsupportedCommand();
    case SensorCommand::StopMEMS: return wrenlet ? wrenlet->stopMEMS() : unsupportedCommand();
    case SensorCommand::StartFPG: return wrenlet ? wrenlet->startFPG() : unsupportedCommand();
    case SensorCommand::StopFPG: return wrenlet ? wrenlet->stopFPG() : unsupportedCommand();
    default: return unsupportedCommand();
    }
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_IMUData>>> Vondra2BLE::memsEvent() {
    if (auto* wrenlet = protocolAs<WrenletBleProtocol>()) return wrenlet->memsEvent();
    return idleMotion_;
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_FPGData>>> Vondra2BLE::fpgEvent() {
    if (auto* wrenlet = protocolAs<WrenletBleProtocol>()) return wrenlet->fpgEvent();
    return idleFpg_;
}

OperationResult Vondra2BLE::readAmplifierParam(Vondra2AmplifierParam& out) {
    if (auto* wrenlet = protocolAs<WrenletBleProtocol>()) {
        WrenletAmplifierParam param;
        const OperationResult result = wrenlet->amplifierParam(param);
        out = vondraForm(param);
        return result;
    }
    return protocolAs<Vondra2BLEProtocol>()->amplifierParam(out);
}

OperationResult Vondra2BLE::writeAmplifierParam(const Vondra2AmplifierParam& param) {
    if (auto* wrenlet = protocolAs<WrenletBleProtocol>()) return wrenlet->setAmplifierParam(wrenletForm(param));
    return protocolAs<Vondra2BLEProtocol>()->setAmplifierParam(param);
}

OperationResult Vondra2BLE::readIrAmplitude(uint8_t& out) {
    return onWrenlet([&out](auto& wrenlet) { return Devices::give(out, wrenlet.irAmplitude()); });
}

OperationResult Vondra2BLE::writeIrAmplitude(const uint8_t& code) {
    return onWrenlet([code](auto& wrenlet) { return wrenlet.setIrAmplitude(code); });
}

OperationResult Vondra2BLE::readRedAmplitude(uint8_t& out) {
    return onWrenlet([&out](auto& wrenlet) { return Devices::give(out, wrenlet.redAmplitude()); });
}

OperationResult Vondra2BLE::writeRedAmplitude(const uint8_t& code) {
    return onWrenlet([code](auto& wrenlet) { return wrenlet.setRedAmplitude(code); });
}

OperationResult Vondra2BLE::readAccelerometerSens(uint8_t& out) {
    return onWrenlet([&out](auto& wrenlet) { return Devices::give(out, wrenlet.accelerometerSens()); });
}

OperationResult Vondra2BLE::writeAccelerometerSens(const uint8_t& code) {
    return onWrenlet([code](auto& wrenlet) { return wrenlet.setAccelerometerSens(code); });
}

OperationResult Vondra2BLE::readGyroscopeSens(uint8_t& out) {
    return onWrenlet([&out](auto& wrenlet) { return Devices::give(out, wrenlet.gyroscopeSens()); });
}

OperationResult Vondra2BLE::writeGyroscopeSens(const uint8_t& code) {
    return onWrenlet([code](auto& wrenlet) { return wrenlet.setGyroscopeSens(code); });
}

OperationResult Vondra2BLE::readSamplingFrequencyFPG(uint8_t& out) {
    return onWrenlet([&out](auto& wrenlet) { return Devices::give(out, wrenlet.samplingFrequencyFPG()); });
}

OperationResult Vondra2BLE::readSamplingFrequencyMEMS(uint8_t& out) {
    return onWrenlet([&out](auto& wrenlet) { return Devices::give(out, wrenlet.samplingFrequencyMEMS()); });
}

}  // namespace VexaDevice::Vondra2

#include "sdk/devices/photostim/PhotoStimBLE.hpp"

#include <stdexcept>

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"

namespace VexaDevice::PhotoStim {

using Sensor::SensorCommand;

namespace {

constexpr uint8_t FirmwareMode = 1;

// Builds the protocol; every failure, the library's own included, reaches the device's
// creation failure as a standard error ("Cannot create PhotoStimBLE BLE Device: <cause>").
std::shared_ptr<PhotoStimBleProtocol> buildProtocol(const std::shared_ptr<BLE::IBLEDevice>& device,
                                                    BLE::ChannelMap& channels, const Devices::ProtocolTiming& timing) {
    try {
        return PhotoStimBleProtocol::create(device, channels[Utility::kDeviceInformationService], timing);
    } catch (const Utility::rt_exception& e) {
        throw std::runtime_error(e.what());
    }
}

}  // namespace

PhotoStimBLE::PhotoStimBLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing)
    : FamilyDevice(std::move(device), "PhotoStimBLE BLE Device",
                   [&timing](const std::shared_ptr<BLE::IBLEDevice>& ble, BLE::ChannelMap& channels) {
                       return buildProtocol(ble, channels, timing);
                   },
                   {ResetCommand}) {}

PhotoStimBLE::~PhotoStimBLE() {
    release({"PhotoStim", true, true});
    Utility::sdkLog().trace("[PhotoStimBLE]:[deleted]");
}

OperationResult PhotoStimBLE::execCommand(const SensorCommand& command) {
    switch (Sensor::toInt(command)) {
    case Sensor::toInt(SensorCommand::StartPhotoStimulation): return startPhotoStimulation();
    case Sensor::toInt(SensorCommand::StopPhotoStimulation): return protocol().stopProgram();
    case Sensor::toInt(SynchroniseCommand): {
        OperationResult prepared = protocol().prepareSync();
        return prepared ? protocol().sync() : prepared;
    }
    case Sensor::toInt(ResetCommand): return protocol().reset();
    default: return OperationResult::failed(0, "");
    }
}

OperationResult PhotoStimBLE::startPhotoStimulation() {
    if (useAbsoluteStart_) return protocol().startProgram(static_cast<uint32_t>(absoluteStartTick_.load()));
    return protocol().startProgramAfter(static_cast<uint32_t>(timeDeferTicks_.load()));
}

OperationResult PhotoStimBLE::readSerialNumber(std::string& out) {
    return Devices::give(out, protocol().serialNumber());
}

OperationResult PhotoStimBLE::readFirmwareMode(uint8_t& out) { return Devices::give(out, FirmwareMode); }

OperationResult PhotoStimBLE::readFirmwareVersion(DeviceVersion& out) {
    return Devices::give(out, protocol().deviceVersion());
}

OperationResult PhotoStimBLE::readBattPower(int32_t& out) { return Devices::give(out, protocol().battPower()); }

OperationResult PhotoStimBLE::readBattVoltage(int32_t& out) { return Devices::give(out, protocol().batteryVoltage()); }

OperationResult PhotoStimBLE::readStimState(DevStimulStatus& out) { return Devices::give(out, protocol().stimState()); }

OperationResult PhotoStimBLE::readStimPrograms(std::vector<StimProgram>& out) {
    return Devices::give(out, protocol().programs());
}

OperationResult PhotoStimBLE::writeStimPrograms(const std::vector<StimProgram>& programs) {
    return protocol().writeStimPrograms(programs);
}

OperationResult PhotoStimBLE::readTimeDefer(double& out) {
    return Devices::give(out, timeDeferTicks_ / static_cast<double>(TicksPerSecond));
}

OperationResult PhotoStimBLE::writeTimeDefer(const double& seconds) {
    int32_t ticks = 0;
    const OperationResult result = deferTicks(seconds, ticks);
    if (result) timeDeferTicks_ = ticks;
    return result;
}

OperationResult PhotoStimBLE::readSyncState(DevStimulSyncStatus& out) {
    return Devices::give(out, protocol().syncState());
}

}  // namespace VexaDevice::PhotoStim

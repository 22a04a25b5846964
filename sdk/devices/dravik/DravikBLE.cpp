#include "sdk/devices/dravik/DravikBLE.hpp"

#include "sdk/core/DeviceInfoReader.hpp"

namespace VexaDevice::Dravik {

using Sensor::SensorCommand;

DravikBLE::DravikBLE(std::shared_ptr<BLE::IBLEDevice> device, const DravikTiming& timing)
    : FamilyDevice(std::move(device), "Dravik BLE Device",
                   [&timing](const std::shared_ptr<BLE::IBLEDevice>& ble, BLE::ChannelMap& channels) {
                       return DravikBleProtocol::create(ble, channels[Utility::kDeviceInformationService], timing);
                   },
                   {}) {}

// The protocol learns the link is gone, then the link goes.
DravikBLE::~DravikBLE() { release({"Dravik", true, true}); }

OperationResult DravikBLE::execCommand(const SensorCommand& command) {
    auto& device = protocol();
    // The stimulator commands without a name of their own.
    if (command == PhotoStim::SynchroniseCommand) {
        return device.synchroniseStimulators();
    }
    // Without the photo-stimulation service there is nothing to reset, and the command is not listed.
    if (command == PhotoStim::ResetCommand) {
        return device.supportedCommands().contains(Sensor::toInt(command)) ? device.resetStimulators()
                                                                           : OperationResult::failed(0, {});
    }
    switch (command) {
    case SensorCommand::StartSignal: return device.startSignal();
    case SensorCommand::StartResist: return device.startResist();
    case SensorCommand::StopResist: return device.stopResist();
    case SensorCommand::StopSignal:
    case SensorCommand::PowerDown:
    case SensorCommand::StopSignalAndResist: return device.powerDown();
    case SensorCommand::Idle: return device.setIdle();
    case SensorCommand::StartSignalAndResist: return device.startSignalAndResist();
    case SensorCommand::FileSystemEnable: return device.fileSystemEnable();
    case SensorCommand::FileSystemDisable: return device.fileSystemDisable();
    case SensorCommand::FileSystemStreamClose: return device.fileSystemStreamClose();
    case SensorCommand::StartPhotoStimulation: return device.startPhotoStimulation();
    case SensorCommand::StopPhotoStimulation: return device.stopPhotoStimulation();
    default: return OperationResult::failed(0, {});
    }
}

std::shared_ptr<DravikBLE> makeDravikBLE(std::shared_ptr<BLE::IBLEDevice> device, const DravikTiming& timing) {
    return std::shared_ptr<DravikBLE>(new DravikBLE(std::move(device), timing));
}

}  // namespace VexaDevice::Dravik

#pragma once
// Interface of the Dravik device: the sensor interface, then the event buses, the file system,
// the reads and the settings, the photo-stimulation link, in the family's own order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/EEGChannel.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/common/IdentitySlots.hpp"
#include "sdk/devices/dravik/DravikRecords.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"
#include "sdk/devices/photostim/PhotoStimRecords.hpp"
#include "sdk/devices/photostim/StimulatorSlots.hpp"

namespace VexaDevice::Dravik {

// The slots before the identity reads.
class IDravikFiles : public Sensor::ISensor {
public:
    virtual std::weak_ptr<Devices::BatteryBus> batteryEvent() = 0;
    virtual std::weak_ptr<Devices::BatteryBus> batteryVoltageEvent() = 0;
    virtual std::weak_ptr<DravikBuses::SignalBus> signalEvent() = 0;
    virtual std::weak_ptr<DravikBuses::ResistBus> resistEvent() = 0;
    virtual std::weak_ptr<DravikBuses::SignalResistBus> signalResistEvent() = 0;
    virtual std::weak_ptr<DravikBuses::RawSignalBus> rawSignalEvent() = 0;
    virtual std::weak_ptr<DravikBuses::FileStreamBus> fileStreamEvent() = 0;
    virtual std::weak_ptr<DravikBuses::ModeBus> ampModeEvent() = 0;
    virtual std::weak_ptr<DravikBuses::FsStatusBus> fsStatusEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual std::weak_ptr<DravikBuses::StimStateBus> stimStateEvent() = 0;
    virtual std::weak_ptr<DravikBuses::StimSyncBus> stimSyncEvent() = 0;
    virtual OperationResult ping(const int32_t& marker) = 0;
    virtual OperationResult readFileInfo(const std::string& name, _FileInfo& out) = 0;
    virtual OperationResult writeFile(const std::string& name, const std::vector<uint8_t>& data, uint32_t offset) = 0;
    virtual OperationResult readFile(const std::string& name, uint32_t limit, uint32_t offset,
                                     std::vector<uint8_t>& out) = 0;
    virtual OperationResult deleteFile(const std::string& name) = 0;
    virtual OperationResult deleteAllFiles(const std::string& extension) = 0;
    virtual OperationResult readFileCRC32(const std::string& name, uint32_t offset, uint32_t length, uint32_t& out) = 0;
    virtual OperationResult fileStreamAutosave(const std::string& name) = 0;
    virtual OperationResult fileStreamRead(const std::string& name, uint32_t offset, uint32_t length) = 0;
    virtual OperationResult readFileInfoAll(std::vector<_FileInfo>& out) = 0;
    virtual int32_t maxStimPhases() = 0;
};

// The slots before the stimulator reads.
class IDravikReads : public Devices::IdentitySlots<IDravikFiles> {
public:
    virtual OperationResult readFirmwareMode(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequencyResist(uint8_t& out) = 0;
    virtual OperationResult readSupportedChannels(std::vector<Sensor::EEGChannelInfo>& out) = 0;
    virtual OperationResult readSurveyId(int32_t& out) = 0;
    virtual OperationResult writeSurveyId(const int32_t& id) = 0;
    virtual OperationResult readFilesystemStatus(_DravikFSStatus& out) = 0;
    virtual OperationResult readVersion(DeviceVersion& out) = 0;
    virtual OperationResult readBattPower(int32_t& out) = 0;
    virtual OperationResult readAmpMode(uint8_t& out) = 0;
    virtual OperationResult readAmplifierParam(DravikAmplifierParam& out) = 0;
    virtual OperationResult writeAmplifierParam(const DravikAmplifierParam& param) = 0;
    virtual OperationResult readFileSystemDiskInfo(uint64_t& total, uint64_t& free) = 0;
    virtual std::shared_ptr<PhotoStim::IPhotoStim> readPhotoStim() = 0;
    // An empty stimulator unlinks the present one.
    virtual OperationResult writePhotoStim(std::shared_ptr<PhotoStim::IPhotoStim> stimulator) = 0;
};

class IDravik : public PhotoStim::StimulatorSlots<IDravikReads> {
public:
    // Seconds.
    virtual OperationResult readPhotoStimTimeDefer(double& out) = 0;
    virtual OperationResult writePhotoStimTimeDefer(const double& seconds) = 0;
    virtual OperationResult readPhotoStimSyncState(PhotoStim::DevStimulSyncStatus& out) = 0;
};

}  // namespace VexaDevice::Dravik

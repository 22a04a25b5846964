#pragma once
// Protocol of one Dravik device, composed of its parts: the request transport and the file
// system on it, the amplifier, the sample stream and the photo-stimulation link. The protocol
// reads the device when the link comes up, takes in every notification and runs the worker
// that publishes what the parts took in.
//
// Threads: notification handlers run on the Bluetooth stack's threads and only buffer, store
// and wake; commands, mode changes and settings run on the caller's thread under the command
// lock, each for its whole length; the worker decodes and publishes on its own thread and takes
// the command lock only when it is free.

#include <atomic>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/EEGChannel.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/core/SpinGuarded.hpp"
#include "sdk/devices/common/LinkLoss.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/dravik/DravikAmplifierControl.hpp"
#include "sdk/devices/dravik/DravikChannels.hpp"
#include "sdk/devices/dravik/DravikFileSystem.hpp"
#include "sdk/devices/dravik/DravikRecords.hpp"
#include "sdk/devices/dravik/DravikRequests.hpp"
#include "sdk/devices/dravik/DravikSamples.hpp"
#include "sdk/devices/dravik/DravikStimulatorLink.hpp"
#include "sdk/devices/dravik/DravikTiming.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"

namespace VexaDevice::Dravik {

class DravikBleProtocol : public std::enable_shared_from_this<DravikBleProtocol>, public DravikBuses {
public:
    // Reads the device's identity, ADC configuration, battery and status, subscribes to its
    // notifications and starts the worker. Throws rt_exception when the device cannot be driven.
    static std::shared_ptr<DravikBleProtocol> create(std::shared_ptr<BLE::IBLEDevice> device,
                                                     BLE::ServiceChannels deviceInformation,
                                                     const DravikTiming& timing = {});
    ~DravikBleProtocol();
    DravikBleProtocol(const DravikBleProtocol&) = delete;
    DravikBleProtocol& operator=(const DravikBleProtocol&) = delete;

    // Stops the worker (joined unless called on it) and the notifications. Safe to repeat.
    void stop();

    // The file system. Names are 1 to 12 characters.
    OperationResult fileSystemEnable() { return files_.enable(); }
    OperationResult fileSystemDisable() { return files_.disable(); }
    OperationResult fileSystemStreamClose() { return files_.streamClose(); }
    OperationResult readFileInfo(const std::string& name, _FileInfo& out) { return files_.readFileInfo(name, out); }
    OperationResult readFileInfoAll(std::vector<_FileInfo>& out) { return files_.readFileInfoAll(out); }
    // The bytes from `offset` up to `limit` (0, or at or beyond the size: the file's end).
    OperationResult readFile(const std::string& name, uint32_t limit, uint32_t offset, std::vector<uint8_t>& out) {
        return files_.readFile(name, limit, offset, out);
    }
    OperationResult writeFile(const std::string& name, const std::vector<uint8_t>& data, uint32_t offset) {
        return files_.writeFile(name, data, offset);
    }
    OperationResult deleteFile(const std::string& name) { return files_.deleteFile(name); }
    OperationResult deleteAllFiles(const std::string& extension) { return files_.deleteAllFiles(extension); }
    // The range must lie inside the file (522), as for a stream read.
    OperationResult readFileCRC32(const std::string& name, uint32_t offset, uint32_t length, uint32_t& crc) {
        return files_.readFileCRC32(name, offset, length, crc);
    }
    // Total and free bytes.
    OperationResult readFileSystemDiskInfo(uint64_t& total, uint64_t& free) { return files_.readDiskInfo(total, free); }
    _DravikFSStatus readFilesystemStatus() const { return files_.status(); }
    OperationResult fileStreamAutosave(const std::string& name) { return files_.streamAutosave(name); }
    // The data arrives on the file-stream bus.
    OperationResult fileStreamRead(const std::string& name, uint32_t offset, uint32_t length) {
        return files_.streamRead(name, offset, length);
    }

    // Amplifier modes (the sensor commands), as DravikAmplifierControl runs them.
    OperationResult powerDown() { return amplifier_.powerDown(); }
    OperationResult setIdle() { return amplifier_.setIdle(); }
    OperationResult startSignal() { return amplifier_.startSignal(); }
    OperationResult startResist() { return amplifier_.startResist(); }
    OperationResult stopResist() { return amplifier_.stopResist(); }
    OperationResult startSignalAndResist() { return amplifier_.startSignalAndResist(); }

    // Settings taken only while the amplifier is stopped (PowerDown or Idle).
    OperationResult writeAmplifierParam(const DravikAmplifierParam& param) { return amplifier_.writeParam(param); }
    DravikAmplifierParam readAmplifierParam() const { return amplifier_.param(); }
    OperationResult writeSurveyId(int32_t id) { return amplifier_.writeSurveyId(id); }
    int32_t readSurveyId() const { return amplifier_.surveyId(); }
    // The 24 channels with their electrodes; the channel types follow the referent mode.
    std::vector<Sensor::EEGChannelInfo> readSupportedChannels() const { return amplifier_.supportedChannels(); }
    // Marks the next sample set while the amplifier measures; marker 0 sends nothing.
    OperationResult ping(uint8_t marker) { return amplifier_.ping(marker); }

    // The photo-stimulation link, as DravikStimulatorLink runs it.
    std::shared_ptr<PhotoStim::IPhotoStim> photoStim() const { return stimulators_.photoStim(); }
    OperationResult writePhotoStim(std::shared_ptr<PhotoStim::IPhotoStim> stimulator) {
        return stimulators_.writePhotoStim(std::move(stimulator));
    }
    OperationResult startPhotoStimulation() { return stimulators_.start(); }
    OperationResult stopPhotoStimulation() { return stimulators_.stopStimulation(); }
    OperationResult synchroniseStimulators() { return stimulators_.synchronise(); }
    OperationResult resetStimulators() { return stimulators_.reset(); }
    OperationResult readStimState(PhotoStim::DevStimulStatus& out) const { return stimulators_.readState(out); }
    OperationResult readStimSyncState(PhotoStim::DevStimulSyncStatus& out) const {
        return stimulators_.readSyncState(out);
    }
    std::vector<PhotoStim::StimProgram> stimPrograms() const { return stimulators_.programs(); }
    OperationResult writeStimPrograms(const std::vector<PhotoStim::StimProgram>& programs) {
        return stimulators_.writePrograms(programs);
    }
    OperationResult writePhotoStimTimeDefer(double seconds) { return stimulators_.writeTimeDefer(seconds); }
    double photoStimTimeDefer() const { return stimulators_.timeDefer(); }
    int batteryVoltage() const { return stimulators_.batteryVoltage(); }

    Sensor::CommandSet supportedCommands() const { return commands_; }
    Sensor::ParameterMap supportedParameters() const { return parameters_; }
    Sensor::FeatureSet supportedFeatures() const { return features_; }

    // The link is back: identity, configuration and status are read again.
    OperationResult onConnected();
    void onDisconnected();
    // The services were resolved again under a live link: the battery level and the own
    // stimulator's status are read again.
    void onServicesRebound();

    int battPower() const { return battery_; }
    // The mode getters report: the target of a mode change while it runs, else the device's.
    uint8_t ampMode() const { return amplifier_.publishedMode(); }
    DeviceVersion deviceVersion() const { return version_.get(); }

    std::weak_ptr<Devices::BatteryBus> batteryEvent() const { return batteryBus_; }
    std::weak_ptr<ModeBus> ampModeEvent() const { return samples_.modeEvent(); }
    std::weak_ptr<SignalBus> signalEvent() const { return samples_.signalEvent(); }
    std::weak_ptr<ResistBus> resistEvent() const { return samples_.resistEvent(); }
    std::weak_ptr<SignalResistBus> signalResistEvent() const { return samples_.signalResistEvent(); }
    std::weak_ptr<RawSignalBus> rawSignalEvent() const { return samples_.rawSignalEvent(); }
    std::weak_ptr<FsStatusBus> fsStatusEvent() const { return files_.statusEvent(); }
    std::weak_ptr<FileStreamBus> fileStreamEvent() const { return files_.fileStreamEvent(); }
    std::weak_ptr<Devices::BatteryBus> batteryVoltageEvent() const { return stimulators_.batteryVoltageEvent(); }
    std::weak_ptr<StimStateBus> stimStateEvent() const { return stimulators_.stateEvent(); }
    std::weak_ptr<StimSyncBus> stimSyncEvent() const { return stimulators_.syncEvent(); }

private:
    using Handler = std::shared_ptr<BLE::DataBus::Callback>;

    // The device as read before the protocol is built: its name, version and channels.
    struct Found {
        std::string name;
        DeviceVersion version;
        DravikChannels channels;
    };
    DravikBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                      const DravikTiming& timing, Found found);

    void start();
    void fillCapabilities();
    void subscribe(const Channel& channel, Handler& handler,
                   void (DravikBleProtocol::*method)(const std::vector<uint8_t>&));
    void readBattery();

    void onBattery(const std::vector<uint8_t>& bytes);
    void onData(const std::vector<uint8_t>& bytes);
    void onReply(const std::vector<uint8_t>& bytes);
    void onFsStatus(const std::vector<uint8_t>& bytes);
    void onFsStream(const std::vector<uint8_t>& bytes);

    void workerPass();
    void publishBattery();

    const DravikTiming timing_;
    const std::shared_ptr<BLE::IBLEDevice> device_;
    const BLE::ServiceChannels deviceInformation_;
    const DravikChannels channels_;

    Devices::LinkLoss linkLoss_;
    std::shared_mutex commandLock_;
    std::atomic<bool> running_{false};
    std::atomic<int> battery_{0};
    Utility::SpinGuarded<DeviceVersion> version_;
    const std::shared_ptr<Devices::BatteryBus> batteryBus_;
    Devices::ProtocolWorker worker_;

    DravikRequests requests_;
    DravikFileSystem files_;
    DravikAmplifierControl amplifier_;
    DravikSamples samples_;
    DravikStimulatorLink stimulators_;

    Sensor::CommandSet commands_;
    Sensor::ParameterMap parameters_;
    Sensor::FeatureSet features_;

    Handler batteryHandler_;
    Handler dataHandler_;
    Handler replyHandler_;
    Handler fsStatusHandler_;
    Handler fsStreamHandler_;

    // Worker-only state.
    int lastBattery_ = -1;
};

}  // namespace VexaDevice::Dravik

#pragma once
// Protocol of one Dravik device: the file system's request frames and their replies matched by
// request identifier, the amplifier's mode frames, every notification of the device, and a
// worker that decodes sample packets, follows the device's state and publishes it all.
//
// Threads: notification handlers run on the Bluetooth stack's threads and only buffer, store
// and wake; commands, mode changes and settings run on the caller's thread under the command
// lock, each for its whole length; the worker decodes and publishes on its own thread and takes
// the command lock only when it is free.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/EEGChannel.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/RBuffer.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/core/SpinGuarded.hpp"
#include "sdk/devices/common/CommandExchange.hpp"
#include "sdk/devices/common/LinkLoss.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/dravik/DravikFrames.hpp"
#include "sdk/devices/dravik/DravikRecords.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"
#include "sdk/devices/dravik/DravikSignalProcess.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"
#include "sdk/devices/photostim/PhotoStimBLEService.hpp"

namespace VexaDevice::Dravik {

struct DravikTiming {
    // Longest sleep of the worker between two passes.
    std::chrono::milliseconds workerWait{50};
    // A failed request write is written again after this pause, at most this many times.
    std::chrono::milliseconds writeRetryPause{250};
    int writeRetries = 3;
    // Replies are awaited in steps, for the command's time-out.
    std::chrono::milliseconds replyStep{100};
    std::chrono::milliseconds replyTimeout{1000};
    std::chrono::milliseconds checksumTimeout{30000};
    // How long a file-system state change is awaited after a command, polling in steps.
    std::chrono::milliseconds statusChangeWait{500};
    std::chrono::milliseconds pollStep{50};
    // How long the file list of a listing is awaited.
    std::chrono::milliseconds listWait{30000};
    // The worker reads the file-system status this often while no file streams.
    std::chrono::milliseconds statusPollPeriod{5000};
    // Attempts of each characteristic read.
    int readAttempts = 3;
    // Longest waits for the mode the device reports after a stop and after a start.
    std::chrono::milliseconds stopWait{500};
    std::chrono::milliseconds startWait{2000};
    // Waits of the device's photo-stimulation service.
    Devices::StimulatorTiming stimulator{};
    // Longest wait for the device's stimulator to follow the external one into synchronisation.
    std::chrono::milliseconds syncWait{3000};
    // Polls (one poll step apart) for the device's stimulator to report a started program.
    int startPolls = 20;
};

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

    // A fresh request identifier in [100000, 4294967295]; callers hold the command lock.
    uint32_t nextRequestId();
    // Under the command lock: writes `frame` (retrying failed writes) and waits for the reply
    // that repeats its command and request identifier; {513} when none comes.
    OperationResult execCommand(const std::vector<uint8_t>& frame, std::chrono::milliseconds timeout,
                                OpCmdRes* reply = nullptr);

    // The file system. Names are 1 to 12 characters.
    OperationResult fileSystemEnable();
    OperationResult fileSystemDisable();
    OperationResult fileSystemStreamClose();
    OperationResult readFileInfo(const std::string& name, _FileInfo& out);
    OperationResult readFileInfoAll(std::vector<_FileInfo>& out);
    // The bytes from `offset` up to `limit` (0, or at or beyond the size: the file's end).
    OperationResult readFile(const std::string& name, uint32_t limit, uint32_t offset, std::vector<uint8_t>& out);
    OperationResult writeFile(const std::string& name, const std::vector<uint8_t>& data, uint32_t offset);
    OperationResult deleteFile(const std::string& name);
    OperationResult deleteAllFiles(const std::string& extension);
    // The range must lie inside the file (522), as for a stream read.
    OperationResult readFileCRC32(const std::string& name, uint32_t offset, uint32_t length, uint32_t& crc);
    // Total and free bytes.
    OperationResult readFileSystemDiskInfo(uint64_t& total, uint64_t& free);
    _DravikFSStatus readFilesystemStatus() const { return fsStatus_.get(); }
    OperationResult fileStreamAutosave(const std::string& name);
    // The data arrives on the file-stream bus.
    OperationResult fileStreamRead(const std::string& name, uint32_t offset, uint32_t length);

    // Amplifier modes (the sensor commands). Each sends its frames on ACS Command and waits for
    // the mode the device reports where its sequence says so; while it runs, the reported mode
    // is its target, so packs arriving meanwhile are read by the new mode. A failure leaves the
    // reported mode as the device's, and a link that is down fails every one of them.
    OperationResult powerDown();
    // Stops the amplifier from any mode but Idle, PowerDown included: the device then reports
    // PowerDown, and the command still succeeds.
    OperationResult setIdle();
    // From resistance alone, switching the measurement off is all it takes (no wait).
    OperationResult startSignal();
    // From signal, switching the measurement on is all it takes (no wait).
    OperationResult startResist();
    // Back to signal from signal and resistance, else PowerDown.
    OperationResult stopResist();
    OperationResult startSignalAndResist();
    // Waits until ACS Status reports `expected`, reading it every poll step.
    OperationResult waitAmpMode(uint8_t expected, std::chrono::milliseconds timeout);

    // Settings taken only while the amplifier is stopped (PowerDown or Idle).
    OperationResult writeAmplifierParam(const DravikAmplifierParam& param);
    DravikAmplifierParam readAmplifierParam() const { return processing_->amplifier(); }
    OperationResult writeSurveyId(int32_t id);
    int32_t readSurveyId() const { return static_cast<int32_t>(surveyId_.load()); }
    // The 24 channels with their electrodes; the channel types follow the referent mode.
    std::vector<Sensor::EEGChannelInfo> readSupportedChannels() const;
    // Marks the next sample set while the amplifier measures; marker 0 sends nothing.
    OperationResult ping(uint8_t marker);

    // The photo-stimulation link: the device's own stimulator (when it has one) and an external
    // photo-stimulator it synchronises with and starts programs together with. Each command
    // runs under the command lock; 527 without the own stimulator, 528 without the external one
    // where both are needed.
    std::shared_ptr<PhotoStim::IPhotoStim> photoStim() const;
    // Links `stimulator` (empty: unlinks) in place of the previous one. The linked stimulator
    // starts at absolute ticks and takes the device's programs; the one it replaces goes back
    // to relative starts.
    OperationResult writePhotoStim(std::shared_ptr<PhotoStim::IPhotoStim> stimulator);
    // Both stimulators synchronised: the external one starts the programs the start deferral
    // after its present time, and the device's own stimulator at the same tick.
    OperationResult startPhotoStimulation();
    // Stops both stimulators; the second is stopped even when the first refuses.
    OperationResult stopPhotoStimulation();
    // The device's stimulator synchronises on the external one.
    OperationResult synchroniseStimulators();
    // Resets the external stimulator and the device's own.
    OperationResult resetStimulators();
    OperationResult readStimState(PhotoStim::DevStimulStatus& out) const;
    OperationResult readStimSyncState(PhotoStim::DevStimulSyncStatus& out) const;
    std::vector<PhotoStim::StimProgram> stimPrograms() const { return pts_->programs(); }
    // To the device's stimulator, then to the external one.
    OperationResult writeStimPrograms(const std::vector<PhotoStim::StimProgram>& programs);
    // The delay between the external stimulator's present time and a program start, 0 to 10 s.
    OperationResult writePhotoStimTimeDefer(double seconds);
    double photoStimTimeDefer() const;
    int batteryVoltage() const { return pts_->batteryVoltage(); }

    Sensor::CommandSet supportedCommands() const { return commands_; }
    Sensor::ParameterMap supportedParameters() const { return parameters_; }
    Sensor::FeatureSet supportedFeatures() const { return features_; }

    // The link is back: identity, configuration and status are read again.
    OperationResult onConnected();
    void onDisconnected();

    int battPower() const { return battery_; }
    // The mode getters report: the target of a mode change while it runs, else the device's.
    uint8_t ampMode() const { return publishedAmpMode_; }
    DeviceVersion deviceVersion() const { return version_.get(); }
    const std::shared_ptr<SignalProcessParam>& signalProcessing() const { return processing_; }

    std::weak_ptr<BatteryBus> batteryEvent() const { return batteryBus_; }
    std::weak_ptr<ModeBus> ampModeEvent() const { return modeBus_; }
    std::weak_ptr<SignalBus> signalEvent() const { return signalBus_; }
    std::weak_ptr<ResistBus> resistEvent() const { return resistBus_; }
    std::weak_ptr<SignalResistBus> signalResistEvent() const { return signalResistBus_; }
    std::weak_ptr<RawSignalBus> rawSignalEvent() const { return rawSignalBus_; }
    std::weak_ptr<FsStatusBus> fsStatusEvent() const { return fsStatusBus_; }
    std::weak_ptr<FileStreamBus> fileStreamEvent() const { return fileStreamBus_; }
    std::weak_ptr<BatteryBus> batteryVoltageEvent() const { return batteryVoltageBus_; }
    std::weak_ptr<StimStateBus> stimStateEvent() const { return stimStateBus_; }
    std::weak_ptr<StimSyncBus> stimSyncEvent() const { return stimSyncBus_; }

protected:
    DravikBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                      const DravikTiming& timing);

private:
    using Channel = std::shared_ptr<BLE::IBLEChannel>;
    using Handler = std::shared_ptr<BLE::DataBus::Callback>;

    void start();
    void setUpChannels();
    // Follows the device's own stimulator when it has one.
    void setUpStimulator();
    void fillCapabilities();
    void subscribe(const Channel& channel, Handler& handler,
                   void (DravikBleProtocol::*method)(const std::vector<uint8_t>&));
    // Reads `channel` up to the attempts allowed; throws rt_exception `failure` (with the
    // read's own text after it when the read threw).
    std::vector<uint8_t> readWithRetries(const Channel& channel, const char* failure);
    void readAdcConfig();
    void readBattery();
    void readFsStatus();
    // Reads ACS Status; the device's mode becomes the reported one.
    void readAcsStatus();
    void applyAcsStatus(const AcsStatus& status);

    // Writes a mode frame, at most three times; 513 with `failure` when none got through.
    OperationResult sendModeFrame(const std::vector<uint8_t>& frame, const char* failure);
    OperationResult resistOff();
    OperationResult resistOn();
    OperationResult signalOn();
    // Runs one mode change under the command lock; a link that is down fails it before
    // anything is skipped or sent.
    template <class Change>
    OperationResult modeChange(Change change);
    // Under the command lock: unless the amplifier is in `already`, the stop frame until the
    // device reports PowerDown.
    OperationResult stopAmplifier(uint8_t already, const char* failure);
    OperationResult startSignalLocked();
    OperationResult startResistLocked();
    OperationResult startSignalAndResistLocked();

    // 527 without the device's stimulator, 528 without an external one; else success with the
    // external one in `external`.
    OperationResult linkedStimulators(std::shared_ptr<PhotoStim::IPhotoStim>& external) const;
    // Under the command lock: the synchronisation steps after the external stimulator's reset.
    OperationResult synchroniseLinked(PhotoStim::IPhotoStim& external);
    // Polls while `keepWaiting` holds, at most `polls` times; false once the link is lost.
    template <class Condition>
    void pollStimulator(int polls, Condition keepWaiting);

    void onBattery(const std::vector<uint8_t>& bytes);
    void onData(const std::vector<uint8_t>& bytes);
    void onReply(const std::vector<uint8_t>& bytes);
    void onFsStatus(const std::vector<uint8_t>& bytes);
    void onFsStream(const std::vector<uint8_t>& bytes);

    // One request under the command lock: name and state checks, the exchange with FS Reply
    // notifications on, the result.
    enum class Access { None, Read, Write };
    OperationResult fsCommand(uint8_t command, const std::string& name, const std::vector<uint8_t>& payload,
                              Access access, OpCmdRes* reply = nullptr, uint16_t nameFailure = ErrFileNameWrong);
    OperationResult fileInfo(const std::string& name, _FileInfo& out);
    // The file's information says the range lies inside it; 522 when it does not.
    OperationResult rangeInFile(const std::string& name, uint32_t offset, uint32_t length);
    OperationResult streamClose();
    // Reads FS Status until its four bytes differ from `before` or the wait runs out.
    OperationResult waitFsStatusChange(const _DravikFSStatus& before);
    void setNotify(const Channel& channel, bool on);

    void workerPass();
    void publishSamples();
    void watchStream();

    const DravikTiming timing_;
    const std::shared_ptr<BLE::IBLEDevice> device_;
    const BLE::ServiceChannels deviceInformation_;
    std::string deviceName_;

    Devices::LinkLoss linkLoss_;
    std::atomic<int> battery_{0};
    std::atomic<uint8_t> ampMode_{AmpModeUnknown};
    std::atomic<uint8_t> publishedAmpMode_{AmpModeUnknown};
    std::atomic<uint8_t> resistMode_{0};
    std::atomic<uint32_t> surveyId_{0};
    Utility::SpinGuarded<_DravikFSStatus> fsStatus_;
    Utility::SpinGuarded<DeviceVersion> version_;
    std::mt19937 idGenerator_;
    std::uniform_int_distribution<uint32_t> idRange_{100000u, 4294967295u};

    const std::shared_ptr<Utility::RBuffer<std::vector<uint8_t>>> rawRing_;
    const std::shared_ptr<Utility::RBuffer<_FileData>> fileRing_;
    const std::shared_ptr<SignalProcessParam> processing_;

    // The entries of a file list as they arrive; guarded because the caller starts a listing
    // while notifications may still append.
    std::mutex listLock_;
    std::vector<_FileInfo> listed_;
    // A stream read was asked for and the device has not yet reported the stream running.
    std::atomic<bool> streamPending_{false};
    std::atomic<int64_t> streamPendingSince_{0};

    Channel battery_channel_;
    Channel acsStatus_;
    Channel acsConfig_;
    Channel acsCommand_;
    Channel acsData_;
    Channel fsStatusChannel_;
    Channel fsCommand_;
    Channel fsReply_;
    Channel fsStream_;

    Sensor::CommandSet commands_;
    Sensor::ParameterMap parameters_;
    Sensor::FeatureSet features_;

    std::shared_mutex commandLock_;
    std::atomic<bool> running_{false};

    const std::shared_ptr<BatteryBus> batteryBus_;
    const std::shared_ptr<ModeBus> modeBus_;
    const std::shared_ptr<SignalResistBus> signalResistBus_;
    const std::shared_ptr<SignalBus> signalBus_;
    const std::shared_ptr<ResistBus> resistBus_;
    const std::shared_ptr<RawSignalBus> rawSignalBus_;
    const std::shared_ptr<FsStatusBus> fsStatusBus_;
    const std::shared_ptr<FileStreamBus> fileStreamBus_;
    const std::shared_ptr<FileListBus> fileListBus_;
    const std::shared_ptr<BatteryBus> batteryVoltageBus_;
    const std::shared_ptr<StimStateBus> stimStateBus_;
    const std::shared_ptr<StimSyncBus> stimSyncBus_;
    Devices::CommandExchange<OpCmdRes> exchange_;

    Handler batteryHandler_;
    Handler dataHandler_;
    Handler replyHandler_;
    Handler fsStatusHandler_;
    Handler fsStreamHandler_;

    // The device's own stimulator (absent on devices without one) and its last states.
    std::unique_ptr<PhotoStim::PhotoStimBLEService> pts_;
    std::atomic<PhotoStim::DevStimulStatus> ptsStimState_{PhotoStim::DevStimulStatus::Unknown};
    std::atomic<PhotoStim::DevStimulSyncStatus> ptsSyncState_{PhotoStim::DevStimulSyncStatus::NotSynchronised};
    std::shared_ptr<StimStateBus::Callback> ptsStateHandler_;
    std::shared_ptr<StimSyncBus::Callback> ptsSyncHandler_;
    // The external stimulator; its own lock lets the reads see it while a command runs.
    mutable std::mutex photoStimLock_;
    std::shared_ptr<PhotoStim::IPhotoStim> photoStim_;
    // Ticks between the external stimulator's time and a program start.
    std::atomic<int32_t> startDeferTicks_{125000};

    // Worker-only state.
    Devices::BacklogReader<std::vector<uint8_t>, 128> rawReader_;
    Devices::BacklogReader<_FileData, 128> fileReader_;
    int64_t expectedPackNum_ = -1;
    uint8_t lastMode_ = AmpModeUnknown;
    int lastBattery_ = -1;
    int lastBatteryVoltage_ = -1;
    PhotoStim::DevStimulStatus lastStimState_ = PhotoStim::DevStimulStatus::Unknown;
    PhotoStim::DevStimulSyncStatus lastSyncState_ = PhotoStim::DevStimulSyncStatus::NotSynchronised;
    _DravikFSStatus lastFsStatus_{};
    std::chrono::steady_clock::time_point nextStatusPoll_;

    Devices::ProtocolWorker worker_;
};

}  // namespace VexaDevice::Dravik

#include "sdk/devices/photostim/PhotoStimBLEService.hpp"

#include <algorithm>
#include <stdexcept>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/common/PackSplitter.hpp"

namespace VexaDevice::PhotoStim {

namespace ChannelMode = BLE::ChannelMode;
using Utility::rt_exception;
using Utility::sdkLog;

namespace {

constexpr size_t BusCapacity = 2048;
constexpr const char* ReadFailure = "Can not read Status";
constexpr const char* StateNotReached = "Failed changed stim status";

OperationResult failedChange() { return OperationResult::failed(Utility::kKspErrors.dataSend, StateNotReached); }

OperationResult absent() { return OperationResult::failed(Utility::kKspErrors.dataSend, "PTS Service is not present"); }

bool supports(BLE::IBLEChannel& channel, int32_t mode) { return channel.rawChannelInfo()->supports(mode); }

}  // namespace

struct PhotoStimBLEService::Tracker {
    std::atomic<DevStimulStatus> state{DevStimulStatus::Unknown};
    // A start frame went out, and neither a stop frame nor a report of any state but
    // synchronised has come since.
    std::atomic<bool> startInFlight{false};
    // A frame went out whose outcome the device did not confirm, and no whole pack has come
    // since: the state may not be the device's.
    std::atomic<bool> inDoubt{false};
    Utility::SpinGuarded<PtsStatus> status;
    // One change of the state or the sync flag, and its publication, at a time, so that
    // subscribers see the changes in the order they were applied.
    std::mutex applying;
    Utility::CvWait wake;
    const std::shared_ptr<StimStatusBus> stimBus = std::make_shared<StimStatusBus>(BusCapacity);
    const std::shared_ptr<SyncStatusBus> syncBus = std::make_shared<SyncStatusBus>(BusCapacity);

    // Only the newest whole pack counts; bytes without one leave the state unknown.
    void apply(const std::vector<uint8_t>& bytes) {
        const auto split = Devices::splitPacks<StatusPack>(bytes);
        if (split.remainder) sdkLog().warn("Error data length status PTS Service.");
        if (split.packs.size() > 1) sdkLog().trace("Recived more then one pack status: [{}]", split.packs.size());

        std::lock_guard guard(applying);
        const uint8_t oldSync = status.get().syncFlag;
        uint8_t newSync = oldSync;
        DevStimulStatus newState = DevStimulStatus::Unknown;
        if (!split.packs.empty()) {
            const StatusPack& newest = split.packs.back();
            const PtsStatus fresh = newest.status();
            status.set(fresh);
            newSync = fresh.syncFlag;
            newState = newest.state();
            inDoubt = false;
        }
        // A state whose meaning is unknown stays for the commands to see, and is published to
        // nobody: subscribers hear only of the stimulator's four states.
        if (newState != DevStimulStatus::Unknown && newState != DevStimulStatus::Synchronised) startInFlight = false;
        if (state.exchange(newState) != newState && newState != DevStimulStatus::Unknown) stimBus->notify(newState);
        if (newSync != oldSync) syncBus->notify(static_cast<DevStimulSyncStatus>(newSync));
        wake.notify();
    }

    // The state the library knows before the device reports it, published as a report would be.
    void mark(DevStimulStatus marked) {
        std::lock_guard guard(applying);
        if (state.exchange(marked) != marked) stimBus->notify(marked);
        wake.notify();
    }
};

PhotoStimBLEService::PhotoStimBLEService(const std::shared_ptr<BLE::IBLEDevice>& device, bool required,
                                         const Devices::StimulatorTiming& timing)
    : timing_(timing), tracker_(std::make_shared<Tracker>()) {
    try {
        if (!device) throw rt_exception("BLE device cannot be null.");
        findChannels(device, required);
        if (!present_) return;
        statusHandler_ = std::make_shared<BLE::DataBus::Callback>(
            [tracker = tracker_](const std::vector<uint8_t>& bytes) { tracker->apply(bytes); });
        if (const auto bus = status_->dataEvent().lock()) bus->subscribe(statusHandler_);
        status_->startNotify();
        readStatus();
        readConfigure();
    } catch (...) {
        if (present_) {
            try {
                status_->stopNotify();
            } catch (const std::exception& e) {
                sdkLog().warn("[PhotoStimBLEService] stopping the status notification failed: {}", e.what());
            }
        }
        Devices::rethrowProtocolCreationFailure(std::current_exception(), "PhotoStim BLE Service",
                                                "Failed create Cannot create PhotoStim BLE Service.");
    }
}

PhotoStimBLEService::~PhotoStimBLEService() {
    if (present_) {
        try {
            reset();
        } catch (const std::exception& e) {
            sdkLog().warn("[PhotoStimBLEService] reset on release failed: {}", e.what());
        }
    }
    stopped_ = true;
    tracker_->wake.notify();
    if (status_) {
        try {
            status_->stopNotify();
        } catch (const std::exception& e) {
            sdkLog().warn("[PhotoStimBLEService] stopping the status notification failed: {}", e.what());
        }
    }
    statusHandler_.reset();
    sdkLog().trace("[PhotoStimBleProtocol]:[deleted]");
}

void PhotoStimBLEService::findChannels(const std::shared_ptr<BLE::IBLEDevice>& device, bool required) {
    const BLE::ChannelMap channels = device->getChannelMap();
    const auto service = channels.find(PtsServiceUuid);
    const auto lookUp = [&](const Utility::UUID& uuid) -> std::shared_ptr<BLE::IBLEChannel> {
        if (service == channels.end()) return nullptr;
        const auto found = service->second.find(uuid);
        return found == service->second.end() ? nullptr : found->second;
    };
    auto status = lookUp(PtsStatusUuid);
    auto config = lookUp(PtsConfigUuid);
    auto command = lookUp(PtsCommandUuid);
    if (required) {
        if (!status) throw rt_exception("PTS Status Channel cannot be null.");
        if (!config) throw rt_exception("PTS Config Channel cannot be null.");
        if (!command) throw rt_exception("PTS Command Channel cannot be null.");
    } else if (!status || !config || !command) {
        return;
    }
    if (!supports(*status, ChannelMode::Notify) || !supports(*status, ChannelMode::Read))
        throw rt_exception("PTS Status characteristic must have both read and notify properties");
    if (!supports(*config, ChannelMode::Read) || !supports(*config, ChannelMode::Write))
        throw rt_exception("PTS Config characteristic must have both read and write properties");
    if (!supports(*command, ChannelMode::Write))
        throw rt_exception("PTS Command characteristic must have write property");
    status_ = std::move(status);
    config_ = std::move(config);
    command_ = std::move(command);
    present_ = true;
}

bool PhotoStimBLEService::readWithRetries(BLE::IBLEChannel& channel, std::vector<uint8_t>& out) {
    for (int attempt = 1;; ++attempt) {
        if (stopped_) return false;
        const bool last = attempt >= timing_.readAttempts;
        try {
            out.clear();
            if (channel.read(out)) return true;
        } catch (const std::exception& e) {
            if (last) throw rt_exception(std::string(ReadFailure) + ": " + e.what());
            continue;
        }
        if (last) throw rt_exception(ReadFailure);
    }
}

void PhotoStimBLEService::readStatus() {
    std::vector<uint8_t> bytes;
    if (present_ && readWithRetries(*status_, bytes)) tracker_->apply(bytes);
}

void PhotoStimBLEService::readConfigure() {
    std::vector<uint8_t> bytes;
    if (present_ && readWithRetries(*config_, bytes)) applyConfigure(bytes);
}

void PhotoStimBLEService::applyConfigure(const std::vector<uint8_t>& bytes) {
    if (bytes.size() % ConfigPacketSize != 0) sdkLog().warn("Error data length configure PTS Service.");
    if (bytes.size() >= 2 * ConfigPacketSize)
        sdkLog().trace("Recived more then one pack configure: [{}]", bytes.size() / ConfigPacketSize);
    if (auto decoded = PhotoStim::decodeConfigure(bytes)) {
        std::lock_guard guard(programsMutex_);
        programs_ = std::move(*decoded);
    }
}

DevStimulStatus PhotoStimBLEService::state() const { return tracker_->state.load(); }

OperationResult PhotoStimBLEService::settleState() {
    if (!tracker_->inDoubt && state() != DevStimulStatus::Unknown) return OperationResult::done();
    try {
        readStatus();
    } catch (const std::exception& e) {
        return OperationResult::failed(Utility::kKspErrors.dataSend, e.what());
    }
    return OperationResult::done();
}

OperationResult PhotoStimBLEService::stimState(DevStimulStatus& out) const {
    out = state();
    return OperationResult::done();
}

OperationResult PhotoStimBLEService::syncState(DevStimulSyncStatus& out) const {
    out = static_cast<DevStimulSyncStatus>(tracker_->status.get().syncFlag);
    return OperationResult::done();
}

uint16_t PhotoStimBLEService::batteryVoltage() const { return tracker_->status.get().batteryVoltage; }

uint32_t PhotoStimBLEService::stimulatorTime(bool reread) {
    if (reread) readStatus();
    return tracker_->status.get().stimulatorTime;
}

uint32_t PhotoStimBLEService::statusWord() const { return tracker_->status.get().statusWord; }

std::vector<StimProgram> PhotoStimBLEService::programs() const {
    std::lock_guard guard(programsMutex_);
    return programs_;
}

OperationResult PhotoStimBLEService::writeStimProgramList(const std::vector<StimProgram>& programs) {
    if (!present_) return absent();
    if (programs.size() > MaxPrograms)
        return OperationResult::failed(Utility::kKspErrors.wrongParamValue, "Incorrect size of the program stim list");
    if (OperationResult settled = settleState(); !settled) return settled;
    if (state() == DevStimulStatus::Running)
        return OperationResult::failed(Utility::kKspErrors.dataSend,
                                       "Parameter setting is forbidden. Stimulation program started");
    PackedPrograms packed = packPrograms(programs);
    if (!packed.result) return packed.result;
    const std::vector<uint8_t> packet(packed.packet.begin(), packed.packet.end());
    for (int attempt = 0; attempt < timing_.writeAttempts; ++attempt) {
        if (config_->write(packet)) {
            std::lock_guard guard(programsMutex_);
            programs_ = std::move(packed.programs);
            return OperationResult::done();
        }
    }
    return OperationResult::failed(Utility::kKspErrors.dataSend, "Failed to set parameters of stimulation programs");
}

bool PhotoStimBLEService::send(const std::vector<uint8_t>& frame) { return command_->write(frame); }

OperationResult PhotoStimBLEService::awaitState(DevStimulStatus expected, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + limit;
    // A state in doubt may already be the one expected: only a report confirms it.
    const auto reached = [this, expected] { return state() == expected && !tracker_->inDoubt; };
    {
        auto held = tracker_->wake.lock();
        while (!reached() && !stopped_) {
            const auto now = Clock::now();
            if (now >= end) break;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now);
            tracker_->wake.wait(held, std::min(timing_.pollStep, left));
        }
    }
    if (!reached() && !stopped_) {
        tracker_->inDoubt = true;
        try {
            readStatus();
        } catch (const std::exception& e) {
            sdkLog().warn("[PhotoStimBLEService] reading the status after a command failed: {}", e.what());
        }
    }
    return reached() ? OperationResult::done() : failedChange();
}

OperationResult PhotoStimBLEService::reset() {
    if (!present_) return absent();
    // A state that cannot be learnt is no reason to keep the reset back.
    if (settleState() && state() == DevStimulStatus::Idle) return OperationResult::done();
    send({Command::Reset});
    return awaitState(DevStimulStatus::Idle, timing_.resetWait);
}

OperationResult PhotoStimBLEService::prepareSync() {
    if (!present_) return absent();
    if (OperationResult settled = settleState(); !settled) return settled;
    if (state() == DevStimulStatus::SyncPrepared) return OperationResult::done();
    if (state() != DevStimulStatus::Idle) {
        if (OperationResult reset = this->reset(); !reset) return reset;
    }
    send({Command::PrepareSync});
    return awaitState(DevStimulStatus::SyncPrepared, timing_.stateWait);
}

OperationResult PhotoStimBLEService::sync() {
    if (!present_) return absent();
    if (OperationResult settled = settleState(); !settled) return settled;
    switch (state()) {
    case DevStimulStatus::Synchronised: return OperationResult::done();
    case DevStimulStatus::Running: return stopProgram();
    case DevStimulStatus::SyncPrepared:
        send({Command::Sync});
        return awaitState(DevStimulStatus::Synchronised, timing_.stateWait);
    default:
        return OperationResult::failed(Utility::kKspErrors.dataSend,
                                       "It is required to initiate the synchronization procedure (prepareSync).");
    }
}

OperationResult PhotoStimBLEService::startProgram(uint32_t tick, bool markRunning) {
    if (!present_) return absent();
    if (OperationResult settled = settleState(); !settled) return settled;
    if (state() == DevStimulStatus::Running) {
        if (OperationResult stop = stopProgram(); !stop) return stop;
    }
    if (state() != DevStimulStatus::Synchronised)
        return OperationResult::failed(Utility::kKspErrors.dataSend, "Synchronization is required");
    // Marked before the write: the device's report of the running program may come before
    // the write returns, and must clear the mark. A marked start is on its way too: a device
    // whose program waits for its tick still reports synchronised meanwhile.
    tracker_->startInFlight = true;
    if (!send(startFrame(tick))) {
        tracker_->startInFlight = false;
        return failedChange();
    }
    if (markRunning) tracker_->mark(DevStimulStatus::Running);
    return OperationResult::done();
}

OperationResult PhotoStimBLEService::stopProgram() {
    if (!present_) return absent();
    if (OperationResult settled = settleState(); !settled) return settled;
    // A start still on its way would run the program after a stop that found it not running
    // yet: the stop waits for the device to take the start first. A device that still has not
    // reported it waits for the start's tick, and the stop frame cancels the start.
    if (tracker_->startInFlight && state() == DevStimulStatus::Synchronised) {
        awaitState(DevStimulStatus::Running, timing_.stateWait);
        if (state() != DevStimulStatus::Running && tracker_->startInFlight.exchange(false)) {
            send({Command::Stop});
            return OperationResult::done();
        }
    }
    if (state() != DevStimulStatus::Running) return OperationResult::done();
    tracker_->startInFlight = false;
    send({Command::Stop});
    return awaitState(DevStimulStatus::Synchronised, timing_.stateWait);
}

OperationResult PhotoStimBLEService::startStatusNotify() {
    if (!present_ || status_->isNotifying()) return OperationResult::done();
    try {
        status_->startNotify();
        readStatus();
        return OperationResult::done();
    } catch (const std::exception& e) {
        return OperationResult::failed(Utility::kKspErrors.dataSend, e.what());
    } catch (...) {
        return OperationResult::failed(Utility::kKspErrors.dataSend, "Failed start photo stim status notify");
    }
}

OperationResult PhotoStimBLEService::stopStatusNotify() {
    if (present_ && status_->isNotifying()) {
        try {
            status_->stopNotify();
        } catch (const std::exception& e) {
            sdkLog().warn("[PhotoStimBLEService] stopping the status notification failed: {}", e.what());
        }
    }
    return OperationResult::done();
}

bool PhotoStimBLEService::suspend() {
    stopped_ = true;
    tracker_->startInFlight = false;
    tracker_->wake.notify();
    return true;
}

bool PhotoStimBLEService::resume() {
    if (stopped_.exchange(false) && present_) {
        try {
            readStatus();
            readConfigure();
        } catch (...) {
            stopped_ = true;
            throw;
        }
    }
    return true;
}

std::weak_ptr<StimStatusBus> PhotoStimBLEService::stimStatusEvent() const { return tracker_->stimBus; }

std::weak_ptr<SyncStatusBus> PhotoStimBLEService::syncStatusEvent() const { return tracker_->syncBus; }

}  // namespace VexaDevice::PhotoStim

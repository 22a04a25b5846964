#include "sdk/devices/dravik/DravikStimulatorLink.hpp"

#include <thread>
#include <utility>

#include "sdk/core/Log.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"

namespace VexaDevice::Dravik {

namespace {

using PhotoStim::DevStimulStatus;
using Sensor::SensorCommand;

// How far (ticks) the external stimulator's clock may lag behind the device's own.
constexpr uint32_t kClockLagTolerance = 125;

DevStimulStatus stateOf(const PhotoStim::PhotoStimBLEService& service) {
    DevStimulStatus state{};
    service.stimState(state);
    return state;
}

}  // namespace

DravikStimulatorLink::DravikStimulatorLink(const std::shared_ptr<BLE::IBLEDevice>& device, Links links,
                                           const DravikTiming& timing)
    : links_(std::move(links)),
      timing_(timing),
      own_(std::make_unique<PhotoStim::PhotoStimBLEService>(device, false, timing.stimulator)),
      stateBus_(std::make_shared<DravikBuses::StimStateBus>(DravikBuses::Capacity)),
      syncBus_(std::make_shared<DravikBuses::StimSyncBus>(DravikBuses::Capacity)),
      batteryVoltageBus_(std::make_shared<Devices::BatteryBus>(DravikBuses::Capacity)) {}

void DravikStimulatorLink::follow() {
    if (!own_->isPresent()) {
        return;
    }
    stateHandler_ = std::make_shared<DravikBuses::StimStateBus::Callback>(
        [reported = reported_, worker = links_.worker](PhotoStim::DevStimulStatus state) {
            reported->state = state;
            worker->notify();
        });
    syncHandler_ = std::make_shared<DravikBuses::StimSyncBus::Callback>(
        [reported = reported_, worker = links_.worker](PhotoStim::DevStimulSyncStatus sync) {
            reported->sync = sync;
            worker->notify();
        });
    if (const auto bus = own_->stimStatusEvent().lock()) {
        bus->subscribe(stateHandler_);
    }
    if (const auto bus = own_->syncStatusEvent().lock()) {
        bus->subscribe(syncHandler_);
    }
    PhotoStim::DevStimulStatus state{};
    if (own_->stimState(state)) {
        reported_->state = state;
    }
    PhotoStim::DevStimulSyncStatus sync{};
    if (own_->syncState(sync)) {
        reported_->sync = sync;
    }
    // The status is followed while an external stimulator is linked.
    own_->stopStatusNotify();
}

void DravikStimulatorLink::stop() {
    stateHandler_.reset();
    syncHandler_.reset();
}

void DravikStimulatorLink::suspend() { own_->suspend(); }

bool DravikStimulatorLink::resume() { return !own_->isPresent() || own_->resume(); }

void DravikStimulatorLink::readStatus() {
    if (own_->isPresent()) own_->readStatus();
}

void DravikStimulatorLink::publish() {
    if (!own_->isPresent()) {
        return;
    }
    if (const auto state = reported_->state.load(); state != lastState_) {
        lastState_ = state;
        stateBus_->notify(state);
    }
    if (const auto sync = reported_->sync.load(); sync != lastSync_) {
        lastSync_ = sync;
        syncBus_->notify(sync);
    }
    if (const int voltage = own_->batteryVoltage(); voltage != lastBatteryVoltage_) {
        lastBatteryVoltage_ = voltage;
        batteryVoltageBus_->notify(voltage);
    }
}

std::shared_ptr<PhotoStim::IPhotoStim> DravikStimulatorLink::photoStim() const {
    std::lock_guard lock(externalLock_);
    return external_;
}

OperationResult DravikStimulatorLink::linkedStimulators(std::shared_ptr<PhotoStim::IPhotoStim>& external) const {
    if (!own_->isPresent()) {
        return dravikFailure(ErrUnsupportedStim);
    }
    external = photoStim();
    return external ? OperationResult::done() : dravikFailure(ErrRequiredStimSensor);
}

template <class Condition>
void DravikStimulatorLink::pollStimulator(int polls, Condition keepWaiting) {
    for (int poll = 0; poll < polls && !links_.linkLoss.isLost() && keepWaiting(); ++poll) {
        std::this_thread::sleep_for(timing_.pollStep);
    }
}

OperationResult DravikStimulatorLink::writePhotoStim(std::shared_ptr<PhotoStim::IPhotoStim> stimulator) {
    std::unique_lock lock(links_.commandLock);
    std::shared_ptr<PhotoStim::IPhotoStim> previous;
    {
        std::lock_guard link(externalLock_);
        previous = std::exchange(external_, stimulator);
    }
    if (own_->isPresent()) {
        own_->reset();
    }
    if (previous && previous != stimulator) {
        previous->setUseAbsoluteStart(false);
    }
    if (!stimulator) {
        if (const auto stopped = own_->stopStatusNotify(); !stopped) {
            Utility::sdkLog().warn("Stop PTS notify failed: [{}] {}", stopped.code, stopped.message);
        }
        return OperationResult::done();
    }
    stimulator->setUseAbsoluteStart(true);
    auto result = stimulator->writeStimPrograms(own_->programs());
    if (result) {
        if (const auto started = own_->startStatusNotify(); !started) {
            Utility::sdkLog().warn("Start PTS notify failed: [{}] {}", started.code, started.message);
        }
    }
    return result;
}

OperationResult DravikStimulatorLink::synchronise() {
    std::unique_lock lock(links_.commandLock);
    std::shared_ptr<PhotoStim::IPhotoStim> external;
    if (auto linked = linkedStimulators(external); !linked) {
        return linked;
    }
    if (auto reset = external->execCommand(PhotoStim::ResetCommand); !reset) {
        return reset;
    }
    auto result = synchroniseLinked(*external);
    if (!result) {
        external->execCommand(PhotoStim::ResetCommand);
        own_->reset();
    }
    return result;
}

OperationResult DravikStimulatorLink::synchroniseLinked(PhotoStim::IPhotoStim& external) {
    // A program still running on the device's stimulator would keep it from synchronising.
    own_->stopProgram();
    if (auto prepared = own_->prepareSync(); !prepared) {
        return prepared;
    }
    if (auto prepared = external.prepareSync(); !prepared) {
        return prepared;
    }
    const auto polls = static_cast<int>(timing_.syncWait / timing_.pollStep);
    pollStimulator(polls, [this] { return stateOf(*own_) != DevStimulStatus::Synchronised; });
    if (stateOf(*own_) != DevStimulStatus::Synchronised) {
        return dravikFailure(ErrStimSensorStatusSet);
    }
    return external.sync();
}

OperationResult DravikStimulatorLink::reset() {
    std::unique_lock lock(links_.commandLock);
    OperationResult result = OperationResult::done();
    if (const auto external = photoStim()) {
        result = external->execCommand(PhotoStim::ResetCommand);
    }
    if (own_->isPresent()) {
        if (auto reset = own_->reset(); !reset && result) {
            result = reset;
        }
    }
    return result;
}

OperationResult DravikStimulatorLink::start() {
    std::unique_lock lock(links_.commandLock);
    std::shared_ptr<PhotoStim::IPhotoStim> external;
    if (auto linked = linkedStimulators(external); !linked) {
        return linked;
    }
    DevStimulStatus externalState{};
    external->readStimState(externalState);
    if (stateOf(*own_) != DevStimulStatus::Synchronised || externalState != DevStimulStatus::Synchronised) {
        return dravikFailure(ErrRequiredSyncStatus);
    }
    const uint32_t own = own_->stimulatorTime(false);
    const uint32_t theirs = external->stimulatorTime(true);
    if (theirs < own && own - theirs > kClockLagTolerance) {
        return dravikFailure(ErrStimSensorTimeSync);
    }
    const uint32_t start = theirs + static_cast<uint32_t>(startDeferTicks_.load());
    external->setAbsoluteStartTick(static_cast<int32_t>(start));
    if (auto started = external->execCommand(SensorCommand::StartPhotoStimulation); !started) {
        return started;
    }
    // The own stimulator reports Running once its program actually starts.
    auto result = own_->startProgram(start, false);
    pollStimulator(timing_.startPolls, [this] { return stateOf(*own_) == DevStimulStatus::Synchronised; });
    return result;
}

OperationResult DravikStimulatorLink::stopStimulation() {
    std::unique_lock lock(links_.commandLock);
    std::shared_ptr<PhotoStim::IPhotoStim> external;
    if (auto linked = linkedStimulators(external); !linked) {
        return linked;
    }
    // Both stimulators are stopped whatever the first one answers; the own one cannot be on a
    // link that is down, whatever state it last reported.
    const auto own = links_.linkLoss.isDown() ? Devices::linkDownFailure() : own_->stopProgram();
    const auto theirs = external->execCommand(SensorCommand::StopPhotoStimulation);
    return own ? theirs : own;
}

OperationResult DravikStimulatorLink::readState(PhotoStim::DevStimulStatus& out) const {
    std::shared_ptr<PhotoStim::IPhotoStim> external;
    if (auto linked = linkedStimulators(external); !linked) {
        return linked;
    }
    return own_->stimState(out);
}

OperationResult DravikStimulatorLink::readSyncState(PhotoStim::DevStimulSyncStatus& out) const {
    std::shared_ptr<PhotoStim::IPhotoStim> external;
    if (auto linked = linkedStimulators(external); !linked) {
        return linked;
    }
    return own_->syncState(out);
}

OperationResult DravikStimulatorLink::writePrograms(const std::vector<PhotoStim::StimProgram>& programs) {
    std::unique_lock lock(links_.commandLock);
    auto result = own_->writeStimProgramList(programs);
    if (!result) {
        return result;
    }
    const auto external = photoStim();
    return external ? external->writeStimPrograms(programs) : result;
}

OperationResult DravikStimulatorLink::writeTimeDefer(double seconds) {
    int32_t ticks = 0;
    auto result = PhotoStim::deferTicks(seconds, ticks);
    if (result) {
        startDeferTicks_ = ticks;
    }
    return result;
}

double DravikStimulatorLink::timeDefer() const {
    return startDeferTicks_ / static_cast<double>(PhotoStim::TicksPerSecond);
}

}  // namespace VexaDevice::Dravik

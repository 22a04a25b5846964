// The Dravik side of photo-stimulation: the device's own stimulator and the external
// photo-stimulator linked to it, synchronised on one time base and started at one tick.

#include <thread>
#include <utility>

#include "sdk/core/Log.hpp"
#include "sdk/devices/dravik/DravikBleProtocol.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"

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

std::shared_ptr<PhotoStim::IPhotoStim> DravikBleProtocol::photoStim() const {
    std::lock_guard lock(photoStimLock_);
    return photoStim_;
}

OperationResult DravikBleProtocol::linkedStimulators(std::shared_ptr<PhotoStim::IPhotoStim>& external) const {
    if (!pts_->isPresent()) {
        return dravikFailure(ErrUnsupportedStim);
    }
    external = photoStim();
    return external ? OperationResult::done() : dravikFailure(ErrRequiredStimSensor);
}

template <class Condition>
void DravikBleProtocol::pollStimulator(int polls, Condition keepWaiting) {
    for (int poll = 0; poll < polls && !linkLoss_.isLost() && keepWaiting(); ++poll) {
        std::this_thread::sleep_for(timing_.pollStep);
    }
}

OperationResult DravikBleProtocol::writePhotoStim(std::shared_ptr<PhotoStim::IPhotoStim> stimulator) {
    std::unique_lock lock(commandLock_);
    std::shared_ptr<PhotoStim::IPhotoStim> previous;
    {
        std::lock_guard link(photoStimLock_);
        previous = std::exchange(photoStim_, stimulator);
    }
    if (pts_->isPresent()) {
        pts_->reset();
    }
    if (previous && previous != stimulator) {
        previous->setUseAbsoluteStart(false);
    }
    if (!stimulator) {
        if (const auto stopped = pts_->stopStatusNotify(); !stopped) {
            Utility::sdkLog().warn("Stop PTS notify failed: [{}] {}", stopped.code, stopped.message);
        }
        return OperationResult::done();
    }
    stimulator->setUseAbsoluteStart(true);
    auto result = stimulator->writeStimPrograms(pts_->programs());
    if (result) {
        if (const auto started = pts_->startStatusNotify(); !started) {
            Utility::sdkLog().warn("Start PTS notify failed: [{}] {}", started.code, started.message);
        }
    }
    return result;
}

OperationResult DravikBleProtocol::synchroniseStimulators() {
    std::unique_lock lock(commandLock_);
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
        pts_->reset();
    }
    return result;
}

OperationResult DravikBleProtocol::synchroniseLinked(PhotoStim::IPhotoStim& external) {
    // A program still running on the device's stimulator would keep it from synchronising.
    pts_->stopProgram();
    if (auto prepared = pts_->prepareSync(); !prepared) {
        return prepared;
    }
    if (auto prepared = external.prepareSync(); !prepared) {
        return prepared;
    }
    const auto polls = static_cast<int>(timing_.syncWait / timing_.pollStep);
    pollStimulator(polls, [this] { return stateOf(*pts_) != DevStimulStatus::Synchronised; });
    if (stateOf(*pts_) != DevStimulStatus::Synchronised) {
        return dravikFailure(ErrStimSensorStatusSet);
    }
    return external.sync();
}

OperationResult DravikBleProtocol::resetStimulators() {
    std::unique_lock lock(commandLock_);
    OperationResult result = OperationResult::done();
    if (const auto external = photoStim()) {
        result = external->execCommand(PhotoStim::ResetCommand);
    }
    if (pts_->isPresent()) {
        if (auto reset = pts_->reset(); !reset && result) {
            result = reset;
        }
    }
    return result;
}

OperationResult DravikBleProtocol::startPhotoStimulation() {
    std::unique_lock lock(commandLock_);
    std::shared_ptr<PhotoStim::IPhotoStim> external;
    if (auto linked = linkedStimulators(external); !linked) {
        return linked;
    }
    DevStimulStatus externalState{};
    external->readStimState(externalState);
    if (stateOf(*pts_) != DevStimulStatus::Synchronised || externalState != DevStimulStatus::Synchronised) {
        return dravikFailure(ErrRequiredSyncStatus);
    }
    const uint32_t own = pts_->stimulatorTime(false);
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
    auto result = pts_->startProgram(start, false);
    pollStimulator(timing_.startPolls, [this] { return stateOf(*pts_) == DevStimulStatus::Synchronised; });
    return result;
}

OperationResult DravikBleProtocol::stopPhotoStimulation() {
    std::unique_lock lock(commandLock_);
    std::shared_ptr<PhotoStim::IPhotoStim> external;
    if (auto linked = linkedStimulators(external); !linked) {
        return linked;
    }
    // Both stimulators are stopped whatever the first one answers; the own one cannot be on a
    // link that is down, whatever state it last reported.
    const auto own = linkLoss_.isDown() ? Devices::linkDownFailure() : pts_->stopProgram();
    const auto theirs = external->execCommand(SensorCommand::StopPhotoStimulation);
    return own ? theirs : own;
}

OperationResult DravikBleProtocol::readStimState(PhotoStim::DevStimulStatus& out) const {
    std::shared_ptr<PhotoStim::IPhotoStim> external;
    if (auto linked = linkedStimulators(external); !linked) {
        return linked;
    }
    return pts_->stimState(out);
}

OperationResult DravikBleProtocol::readStimSyncState(PhotoStim::DevStimulSyncStatus& out) const {
    std::shared_ptr<PhotoStim::IPhotoStim> external;
    if (auto linked = linkedStimulators(external); !linked) {
        return linked;
    }
    return pts_->syncState(out);
}

OperationResult DravikBleProtocol::writeStimPrograms(const std::vector<PhotoStim::StimProgram>& programs) {
    std::unique_lock lock(commandLock_);
    auto result = pts_->writeStimProgramList(programs);
    if (!result) {
        return result;
    }
    const auto external = photoStim();
    return external ? external->writeStimPrograms(programs) : result;
}

OperationResult DravikBleProtocol::writePhotoStimTimeDefer(double seconds) {
    int32_t ticks = 0;
    auto result = PhotoStim::deferTicks(seconds, ticks);
    if (result) {
        startDeferTicks_ = ticks;
    }
    return result;
}

double DravikBleProtocol::photoStimTimeDefer() const {
    return startDeferTicks_ / static_cast<double>(PhotoStim::TicksPerSecond);
}

}  // namespace VexaDevice::Dravik

#include "sdk/devices/photostim/StimulatorRelay.hpp"

namespace VexaDevice::PhotoStim {

namespace {

DevStimulStatus stateOf(const PhotoStimBLEService& service) {
    DevStimulStatus state{};
    service.stimState(state);
    return state;
}

DevStimulSyncStatus syncOf(const PhotoStimBLEService& service) {
    DevStimulSyncStatus sync{};
    service.syncState(sync);
    return sync;
}

}  // namespace

StimulatorRelay::StimulatorRelay(PhotoStimBLEService& service, std::weak_ptr<Utility::CvWait> wake)
    : state_(stateOf(service)), sync_(syncOf(service)), voltage_(service.batteryVoltage()) {
    stateHandler_ = std::make_shared<StimStatusBus::Callback>([cache = cache_, wake](DevStimulStatus state) {
        cache->state = state;
        if (const auto waiter = wake.lock()) waiter->notify();
    });
    syncHandler_ = std::make_shared<SyncStatusBus::Callback>([cache = cache_, wake](DevStimulSyncStatus sync) {
        cache->sync = sync;
        if (const auto waiter = wake.lock()) waiter->notify();
    });
    if (const auto bus = service.stimStatusEvent().lock()) bus->subscribe(stateHandler_);
    if (const auto bus = service.syncStatusEvent().lock()) bus->subscribe(syncHandler_);
    cache_->state = stateOf(service);
    cache_->sync = syncOf(service);
}

void StimulatorRelay::publishStates() {
    // The service publishes no state whose meaning is unknown, but the one it starts from may be.
    if (const DevStimulStatus state = cache_->state.load(); state != DevStimulStatus::Unknown) state_.offer(state);
    sync_.offer(cache_->sync.load());
}

void StimulatorRelay::publishVoltage(const PhotoStimBLEService& service) { voltage_.offer(service.batteryVoltage()); }

}  // namespace VexaDevice::PhotoStim

#pragma once
// Carries what a photo-stimulation service reports to the worker thread of the protocol that
// owns it. The state and sync changes the service publishes (on whichever thread applied a
// status) are only cached here, and the worker is woken; each worker pass then publishes on
// the relay's buses what changed since the last pass, so host callbacks run on the worker.

#include <atomic>
#include <memory>

#include "sdk/core/CvWait.hpp"
#include "sdk/devices/common/ChangedValue.hpp"
#include "sdk/devices/photostim/PhotoStimBLEService.hpp"

namespace VexaDevice::PhotoStim {

class StimulatorRelay {
public:
    // Starts from the service's present state, sync state and battery voltage.
    StimulatorRelay(PhotoStimBLEService& service, std::weak_ptr<Utility::CvWait> wake);
    StimulatorRelay(const StimulatorRelay&) = delete;
    StimulatorRelay& operator=(const StimulatorRelay&) = delete;

    // Worker only: publish the state and the sync state, each when it changed.
    void publishStates();
    // Worker only: publish the service's battery voltage when it changed.
    void publishVoltage(const PhotoStimBLEService& service);

    std::weak_ptr<StimStatusBus> stimStatusEvent() const { return state_.event(); }
    std::weak_ptr<SyncStatusBus> syncStatusEvent() const { return sync_.event(); }
    std::weak_ptr<Utility::EventBus<int>> batteryVoltageEvent() const { return voltage_.event(); }

private:
    struct Cache {
        std::atomic<DevStimulStatus> state{DevStimulStatus::Unknown};
        std::atomic<DevStimulSyncStatus> sync{DevStimulSyncStatus::NotSynchronised};
    };

    const std::shared_ptr<Cache> cache_ = std::make_shared<Cache>();
    Devices::ChangedValue<DevStimulStatus> state_;
    Devices::ChangedValue<DevStimulSyncStatus> sync_;
    Devices::ChangedValue<int> voltage_;
    std::shared_ptr<StimStatusBus::Callback> stateHandler_;
    std::shared_ptr<SyncStatusBus::Callback> syncHandler_;
};

}  // namespace VexaDevice::PhotoStim

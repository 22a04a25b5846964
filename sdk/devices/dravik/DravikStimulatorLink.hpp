#pragma once
// The photo-stimulation link of a Dravik device: the device's own stimulator (when it has one)
// and an external photo-stimulator it synchronises with and starts programs together with.
//
// Each command runs under the protocol's command lock; 527 without the own stimulator, 528
// without the external one where both are needed. The own stimulator's state reports come on
// the Bluetooth stack's threads, are stored and wake the worker, which publishes them.

#include <atomic>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/CvWait.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/common/LinkLoss.hpp"
#include "sdk/devices/dravik/DravikRecords.hpp"
#include "sdk/devices/dravik/DravikTiming.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"
#include "sdk/devices/photostim/PhotoStimBLEService.hpp"

namespace VexaDevice::Dravik {

class DravikStimulatorLink {
public:
    struct Links {
        std::shared_mutex& commandLock;
        const Devices::LinkLoss& linkLoss;
        // Woken on every state report of the own stimulator.
        std::shared_ptr<Utility::CvWait> worker;
    };
    // Finds the device's own stimulator; throws rt_exception when its service is unusable.
    DravikStimulatorLink(const std::shared_ptr<BLE::IBLEDevice>& device, Links links, const DravikTiming& timing);
    DravikStimulatorLink(const DravikStimulatorLink&) = delete;
    DravikStimulatorLink& operator=(const DravikStimulatorLink&) = delete;

    bool hasOwnStimulator() const { return own_->isPresent(); }
    // Follows the own stimulator's states, starting from the ones it reports now.
    void follow();
    // Stops following the states.
    void stop();
    // The link is lost, or back (false when the own stimulator cannot be read again).
    void suspend();
    bool resume();
    // The own stimulator's status is read again (its notifications may have been lost).
    void readStatus();

    std::shared_ptr<PhotoStim::IPhotoStim> photoStim() const;
    // Links `stimulator` (empty: unlinks) in place of the previous one. The linked stimulator
    // starts at absolute ticks and takes the device's programs; the one it replaces goes back
    // to relative starts.
    OperationResult writePhotoStim(std::shared_ptr<PhotoStim::IPhotoStim> stimulator);
    // Both stimulators synchronised: the external one starts the programs the start deferral
    // after its present time, and the device's own stimulator at the same tick.
    OperationResult start();
    // Stops both stimulators; the second is stopped even when the first refuses.
    OperationResult stopStimulation();
    // The device's stimulator synchronises on the external one.
    OperationResult synchronise();
    // Resets the external stimulator and the device's own.
    OperationResult reset();
    OperationResult readState(PhotoStim::DevStimulStatus& out) const;
    OperationResult readSyncState(PhotoStim::DevStimulSyncStatus& out) const;
    std::vector<PhotoStim::StimProgram> programs() const { return own_->programs(); }
    // To the device's stimulator, then to the external one.
    OperationResult writePrograms(const std::vector<PhotoStim::StimProgram>& programs);
    // The delay between the external stimulator's present time and a program start, 0 to 10 s.
    OperationResult writeTimeDefer(double seconds);
    double timeDefer() const;
    int batteryVoltage() const { return own_->batteryVoltage(); }

    // Worker step: the own stimulator's state, synchronisation and battery voltage when they
    // changed.
    void publish();

    std::weak_ptr<DravikBuses::StimStateBus> stateEvent() const { return stateBus_; }
    std::weak_ptr<DravikBuses::StimSyncBus> syncEvent() const { return syncBus_; }
    std::weak_ptr<Devices::BatteryBus> batteryVoltageEvent() const { return batteryVoltageBus_; }

private:
    // The own stimulator's last reported states; its handlers may still run while the link
    // is being destroyed.
    struct Reported {
        std::atomic<PhotoStim::DevStimulStatus> state{PhotoStim::DevStimulStatus::Unknown};
        std::atomic<PhotoStim::DevStimulSyncStatus> sync{PhotoStim::DevStimulSyncStatus::NotSynchronised};
    };

    // 527 without the device's stimulator, 528 without an external one; else success with the
    // external one in `external`.
    OperationResult linkedStimulators(std::shared_ptr<PhotoStim::IPhotoStim>& external) const;
    // Under the command lock: the synchronisation steps after the external stimulator's reset.
    OperationResult synchroniseLinked(PhotoStim::IPhotoStim& external);
    // Polls while `keepWaiting` holds, at most `polls` times, and not once the link is lost.
    template <class Condition>
    void pollStimulator(int polls, Condition keepWaiting);

    const Links links_;
    const DravikTiming timing_;
    const std::unique_ptr<PhotoStim::PhotoStimBLEService> own_;
    const std::shared_ptr<Reported> reported_ = std::make_shared<Reported>();
    std::shared_ptr<DravikBuses::StimStateBus::Callback> stateHandler_;
    std::shared_ptr<DravikBuses::StimSyncBus::Callback> syncHandler_;
    // The external stimulator; its own lock lets the reads see it while a command runs.
    mutable std::mutex externalLock_;
    std::shared_ptr<PhotoStim::IPhotoStim> external_;
    // Ticks between the external stimulator's time and a program start.
    std::atomic<int32_t> startDeferTicks_{125000};

    const std::shared_ptr<DravikBuses::StimStateBus> stateBus_;
    const std::shared_ptr<DravikBuses::StimSyncBus> syncBus_;
    const std::shared_ptr<Devices::BatteryBus> batteryVoltageBus_;

    // Worker-only state.
    int lastBatteryVoltage_ = -1;
    PhotoStim::DevStimulStatus lastState_ = PhotoStim::DevStimulStatus::Unknown;
    PhotoStim::DevStimulSyncStatus lastSync_ = PhotoStim::DevStimulSyncStatus::NotSynchronised;
};

}  // namespace VexaDevice::Dravik

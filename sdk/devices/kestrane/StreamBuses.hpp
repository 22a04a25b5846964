#pragma once
// The event buses of a command-and-stream protocol: battery level, device mode, signal,
// resistance, motion and photoplethysmogram batches, each holding up to 2048 undelivered
// publications. A protocol derives from it, publishes on the buses from its worker and hands
// them out through the accessors.

#include <cstddef>
#include <memory>
#include <vector>

#include "sdk/core/EventBus.hpp"
#include "sdk/devices/common/BatteryBus.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/kestrane/KestraneStatus.hpp"

namespace VexaDevice::Kestrane {

class StreamBuses {
public:
    using ModeBus = Utility::EventBus<DevAmpStatus>;
    using SignalBus = Utility::EventBus<std::vector<_SignalData>>;
    using ResistBus = Utility::EventBus<std::vector<_ResistData>>;
    using MotionBus = Utility::EventBus<std::vector<_IMUData>>;
    using FpgBus = Utility::EventBus<std::vector<_FPGData>>;

    std::weak_ptr<Devices::BatteryBus> batteryEvent() const { return batteryBus_; }
    std::weak_ptr<ModeBus> ampModeEvent() const { return modeBus_; }
    std::weak_ptr<SignalBus> signalEvent() const { return signalBus_; }
    std::weak_ptr<ResistBus> resistEvent() const { return resistBus_; }
    std::weak_ptr<MotionBus> memsEvent() const { return motionBus_; }
    std::weak_ptr<FpgBus> fpgEvent() const { return fpgBus_; }

protected:
    static constexpr size_t BusCapacity = 2048;

    const std::shared_ptr<Devices::BatteryBus> batteryBus_ = std::make_shared<Devices::BatteryBus>(BusCapacity);
    const std::shared_ptr<ModeBus> modeBus_ = std::make_shared<ModeBus>(BusCapacity);
    const std::shared_ptr<SignalBus> signalBus_ = std::make_shared<SignalBus>(BusCapacity);
    const std::shared_ptr<ResistBus> resistBus_ = std::make_shared<ResistBus>(BusCapacity);
    const std::shared_ptr<MotionBus> motionBus_ = std::make_shared<MotionBus>(BusCapacity);
    const std::shared_ptr<FpgBus> fpgBus_ = std::make_shared<FpgBus>(BusCapacity);
};

}  // namespace VexaDevice::Kestrane

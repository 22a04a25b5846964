#pragma once
// Interface of the PhotoStim device: the sensor interface, then its buses, the start-time
// settings and stimulator reads a Dravik device uses when it takes the PhotoStim as its
// external stimulator, and the parameter reads and writes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/common/IdentitySlots.hpp"
#include "sdk/devices/photostim/PhotoStimRecords.hpp"
#include "sdk/devices/photostim/StimulatorSlots.hpp"

namespace VexaDevice::PhotoStim {

// The sensor commands of the stimulator that have no name of their own.
inline constexpr auto SynchroniseCommand = static_cast<Sensor::SensorCommand>(36);
inline constexpr auto ResetCommand = static_cast<Sensor::SensorCommand>(37);

// The slots before the identity reads.
class IPhotoStimLink : public Sensor::ISensor {
public:
    virtual std::weak_ptr<Utility::EventBus<int>> batteryEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<int>> batteryVoltageEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual std::weak_ptr<StimStatusBus> stimStatusEvent() = 0;
    virtual std::weak_ptr<SyncStatusBus> syncStatusEvent() = 0;

    // Programs the device holds at most.
    virtual int32_t maxProgramCount() = 0;
    // Start delay of StartPhotoStimulation after the stimulator's time, in ticks.
    virtual int32_t timeDeferTicks() = 0;
    virtual void setTimeDeferTicks(int32_t ticks) = 0;
    // With useAbsoluteStart set, StartPhotoStimulation starts at absoluteStartTick instead.
    virtual int32_t absoluteStartTick() = 0;
    virtual void setAbsoluteStartTick(int32_t tick) = 0;
    virtual bool useAbsoluteStart() = 0;
    virtual void setUseAbsoluteStart(bool use) = 0;
    // The stimulator's time in ticks, read from the device first with `reread` (throws
    // rt_exception when that read fails).
    virtual uint32_t stimulatorTime(bool reread) = 0;
    virtual OperationResult prepareSync() = 0;
    virtual OperationResult sync() = 0;
};

// The slots before the stimulator reads.
class IPhotoStimReads : public Devices::IdentitySlots<IPhotoStimLink> {
public:
    virtual OperationResult readFirmwareMode(uint8_t& out) = 0;
    virtual OperationResult readFirmwareVersion(DeviceVersion& out) = 0;
    virtual OperationResult readBattPower(int32_t& out) = 0;
};

class IPhotoStim : public StimulatorSlots<IPhotoStimReads> {
public:
    // Seconds.
    virtual OperationResult readTimeDefer(double& out) = 0;
    // 0 to 10 seconds; 517 otherwise.
    virtual OperationResult writeTimeDefer(const double& seconds) = 0;
    virtual OperationResult readSyncState(DevStimulSyncStatus& out) = 0;
};

}  // namespace VexaDevice::PhotoStim

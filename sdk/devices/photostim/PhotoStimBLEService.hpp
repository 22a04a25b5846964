#pragma once
// The photo-stimulation service of a device: its program list, the stimulator's state machine
// (idle, synchronisation prepared, synchronised, program running) and the stimulator clock.
// The service sends single commands and the configure packet and learns every outcome from
// the status characteristic.
//
// It belongs to a device protocol (the PhotoStim device requires it; other devices may carry
// it or not) and lives as long as that protocol:
//   - the owner serialises the commands (reset, prepareSync, sync, startProgram, stopProgram,
//     writeStimProgramList) under its own command lock; the service takes none around them;
//   - the owner subscribes to the two buses, which publish every change of the state (to one
//     of its four known values) and of the sync flag synchronously on the thread that applied the status (a Bluetooth stack
//     thread, or the caller of a read); subscribers must only store and wake, never command;
//   - the owner calls suspend() when the link goes (every wait then ends at once and no read
//     is attempted) and resume() once it is back;
//   - a service that is not required and missing on the device stays absent and inert: the
//     owner tests isPresent() before any other operation.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/CvWait.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/SpinGuarded.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/photostim/PhotoStimWire.hpp"

namespace VexaDevice::PhotoStim {

class PhotoStimBLEService {
public:
    // Finds the Status, Config and Command characteristics of the service, starts the status
    // notification and reads the status and the program list. A required service that is
    // missing or lacks a property fails with rt_exception ("PTS Status Channel cannot be
    // null.", ...); construction failures are logged as "Failed create PhotoStim BLE Service:
    // ..." and thrown as rt_exception.
    PhotoStimBLEService(const std::shared_ptr<BLE::IBLEDevice>& device, bool required,
                        const Devices::StimulatorTiming& timing = {});
    // Resets the stimulator (without waiting for it once suspended) and stops the status
    // notification; an absent service is left alone.
    virtual ~PhotoStimBLEService();
    PhotoStimBLEService(const PhotoStimBLEService&) = delete;
    PhotoStimBLEService& operator=(const PhotoStimBLEService&) = delete;

    bool isPresent() const { return present_; }

    OperationResult stimState(DevStimulStatus& out) const;
    OperationResult syncState(DevStimulSyncStatus& out) const;
    uint16_t batteryVoltage() const;
    // The stimulator time of the newest status; with `reread` the status is read first
    // (throws rt_exception "Can not read Status..." when that fails).
    uint32_t stimulatorTime(bool reread);
    uint32_t statusWord() const;
    std::vector<StimProgram> programs() const;

    // 517 for more than 16 programs or one that cannot be encoded, 513 while a program runs
    // or when the device does not take the packet; else the device holds the quantised list.
    OperationResult writeStimProgramList(const std::vector<StimProgram>& programs);

    // Each command is done when the device reports the state it leads to; 513 "Failed changed
    // stim status" when it does not within its wait. An absent service refuses every command
    // with 513 "PTS Service is not present". A command that finds the state unknown or in doubt
    // (after a frame the device did not confirm) reads the status first, and fails with 513 and
    // the read's text when it cannot (a reset is sent then).
    OperationResult reset();
    OperationResult prepareSync();  // resets first unless idle
    OperationResult sync();         // needs prepareSync; a running program is stopped instead
    // Starts the program list at stimulator time `tick` (a running list is stopped first); done
    // once the frame is written, since the device reports Running only at that tick. With
    // `markRunning` the state becomes Running at once (and is published); without, it stays
    // Synchronised until the device reports the program running. Either way the device's later
    // reports drive the state.
    OperationResult startProgram(uint32_t tick, bool markRunning);
    OperationResult stopProgram();

    // 513 with the cause's text when the notification cannot be started.
    OperationResult startStatusNotify();
    OperationResult stopStatusNotify();

    // Link lost: reads and waits end at once until resume().
    bool suspend();
    // Link back: reads the status and the program list again; when that throws, the service
    // stays suspended and the exception propagates.
    bool resume();
    // Reads the status again (its notifications may have been lost); nothing when absent or
    // suspended, rt_exception "Can not read Status..." when every read failed.
    void readStatus();

    std::weak_ptr<StimStatusBus> stimStatusEvent() const;
    std::weak_ptr<SyncStatusBus> syncStatusEvent() const;

private:
    // What the status handler shares with the service: it may still run on a stack thread
    // while the service is being destroyed.
    struct Tracker;

    void findChannels(const std::shared_ptr<BLE::IBLEDevice>& device, bool required);
    void readConfigure();
    // Up to readAttempts reads of `channel`; nothing (without throwing) once suspended.
    bool readWithRetries(BLE::IBLEChannel& channel, std::vector<uint8_t>& out);
    void applyConfigure(const std::vector<uint8_t>& bytes);
    // Writes one command; false when the device did not take it.
    bool send(const std::vector<uint8_t>& frame);
    // Waits until the device reports `expected`, reading the status once more at the end; when
    // that read gives nothing either, the state is in doubt until the next whole pack.
    OperationResult awaitState(DevStimulStatus expected, std::chrono::milliseconds limit);
    // Reads the status when the state is unknown or in doubt; 513 when that read fails.
    OperationResult settleState();
    DevStimulStatus state() const;

    const Devices::StimulatorTiming timing_;
    bool present_ = false;
    std::atomic<bool> stopped_{false};
    const std::shared_ptr<Tracker> tracker_;
    mutable std::mutex programsMutex_;
    std::vector<StimProgram> programs_;
    std::shared_ptr<BLE::DataBus::Callback> statusHandler_;
    std::shared_ptr<BLE::IBLEChannel> status_;
    std::shared_ptr<BLE::IBLEChannel> config_;
    std::shared_ptr<BLE::IBLEChannel> command_;
};

}  // namespace VexaDevice::PhotoStim

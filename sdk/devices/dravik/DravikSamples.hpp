#pragma once
// The Dravik sample stream: ACS Data notifications kept, each with the amplifier mode published
// when it arrived, for the worker, which passes them on raw, decodes their packets by the mode
// each came under and publishes signals and resistances, and publishes each new amplifier mode.
//
// push() runs on the Bluetooth stack's threads; everything else on the worker.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "sdk/core/RBuffer.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/dravik/DravikFrames.hpp"
#include "sdk/devices/dravik/DravikRecords.hpp"
#include "sdk/devices/dravik/DravikSignalProcess.hpp"

namespace VexaDevice::Dravik {

class DravikSamples {
public:
    explicit DravikSamples(std::shared_ptr<SignalProcessParam> processing);
    DravikSamples(const DravikSamples&) = delete;
    DravikSamples& operator=(const DravikSamples&) = delete;

    // One ACS Data notification, arrived while `mode` was the published amplifier mode.
    void push(const std::vector<uint8_t>& bytes, uint8_t mode);
    // Publishes the notifications that came since the last pass.
    void publish();
    // Publishes `mode` when it differs from the last one; a measurement that starts afresh
    // expects any packet number.
    void followMode(uint8_t mode);

    std::weak_ptr<DravikBuses::ModeBus> modeEvent() const { return modeBus_; }
    std::weak_ptr<DravikBuses::SignalBus> signalEvent() const { return signalBus_; }
    std::weak_ptr<DravikBuses::ResistBus> resistEvent() const { return resistBus_; }
    std::weak_ptr<DravikBuses::SignalResistBus> signalResistEvent() const { return signalResistBus_; }
    std::weak_ptr<DravikBuses::RawSignalBus> rawSignalEvent() const { return rawSignalBus_; }

private:
    struct Notification {
        uint8_t mode = AmpModeUnknown;
        std::vector<uint8_t> bytes;
    };

    // Whether `mode` measures while the mode published last has the amplifier stopped.
    bool startsAfresh(uint8_t mode) const { return mode >= AmpModeSignal && lastMode_ <= AmpModeIdle; }
    void publishRaw(std::span<const Notification> notifications);
    // Decodes notifications that came under one mode and publishes them as that mode has it.
    void publishDecoded(uint8_t mode, std::span<const Notification> notifications);

    const std::shared_ptr<SignalProcessParam> processing_;
    const std::shared_ptr<Utility::RBuffer<Notification>> rawRing_;
    const std::shared_ptr<DravikBuses::ModeBus> modeBus_;
    const std::shared_ptr<DravikBuses::SignalResistBus> signalResistBus_;
    const std::shared_ptr<DravikBuses::SignalBus> signalBus_;
    const std::shared_ptr<DravikBuses::ResistBus> resistBus_;
    const std::shared_ptr<DravikBuses::RawSignalBus> rawSignalBus_;

    // Worker-only state.
    Devices::BacklogReader<Notification, 128> rawReader_;
    int64_t expectedPackNum_ = -1;
    uint8_t lastMode_ = AmpModeUnknown;
};

}  // namespace VexaDevice::Dravik

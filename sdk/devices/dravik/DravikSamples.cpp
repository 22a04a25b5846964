#include "sdk/devices/dravik/DravikSamples.hpp"

#include <algorithm>
#include <utility>

#include "sdk/core/Log.hpp"

namespace VexaDevice::Dravik {

namespace {

constexpr size_t kRawBytesPerNotification = 158;

}  // namespace

DravikSamples::DravikSamples(std::shared_ptr<SignalProcessParam> processing)
    : processing_(std::move(processing)),
      rawRing_(std::make_shared<Utility::RBuffer<Notification>>(DravikBuses::RingCapacity)),
      modeBus_(std::make_shared<DravikBuses::ModeBus>(DravikBuses::Capacity)),
      signalResistBus_(std::make_shared<DravikBuses::SignalResistBus>(DravikBuses::Capacity)),
      signalBus_(std::make_shared<DravikBuses::SignalBus>(DravikBuses::Capacity)),
      resistBus_(std::make_shared<DravikBuses::ResistBus>(DravikBuses::Capacity)),
      rawSignalBus_(std::make_shared<DravikBuses::RawSignalBus>(DravikBuses::Capacity)) {}

void DravikSamples::push(const std::vector<uint8_t>& bytes, uint8_t mode) { rawRing_->push({mode, bytes}); }

void DravikSamples::followMode(uint8_t mode) {
    if (mode == lastMode_) {
        return;
    }
    if (startsAfresh(mode)) {
        expectedPackNum_ = -1;
    }
    lastMode_ = mode;
    modeBus_->notify(mode);
}

void DravikSamples::publish() {
    const auto notifications = rawReader_.poll(*rawRing_);
    if (notifications.empty()) {
        return;
    }
    publishRaw(notifications);
    // A mode change starts a new batch: each notification is read by the mode it came under.
    for (auto first = notifications.begin(); first != notifications.end();) {
        const uint8_t mode = first->mode;
        const auto end = std::find_if(first, notifications.end(),
                                      [mode](const Notification& notification) { return notification.mode != mode; });
        publishDecoded(mode, {first, end});
        first = end;
    }
}

void DravikSamples::publishRaw(std::span<const Notification> notifications) {
    std::vector<uint8_t> raw;
    raw.reserve(notifications.size() * kRawBytesPerNotification);
    for (const auto& notification : notifications) {
        raw.insert(raw.end(), notification.bytes.begin(), notification.bytes.end());
    }
    if (!raw.empty()) {
        rawSignalBus_->notify(raw);
    }
}

void DravikSamples::publishDecoded(uint8_t mode, std::span<const Notification> notifications) {
    // Each notification carries whole packets: one cut short is dropped on its own, so it
    // neither reads the next one's bytes nor takes the packets after it along.
    std::vector<Kestrane::_SignalData> signals;
    std::vector<_DravikResistData> resists;
    for (const auto& notification : notifications) {
        const auto& pack = notification.bytes;
        if (parseRawSignal(*processing_, pack, signals, resists) != pack.size()) {
            Utility::sdkLog().debug("[Dravik] Dropped a data notification of {} bytes that holds no whole packets",
                                    pack.size());
        }
    }
    if (signals.empty()) {
        return;
    }
    // Packs of a measurement whose start the worker has not published yet.
    if (startsAfresh(mode)) {
        expectedPackNum_ = -1;
    }
    const bool measuring = mode >= AmpModeSignal && mode <= AmpModeSignalResist;
    if (expectedPackNum_ != -1 && signals.front().PackNum != expectedPackNum_ && measuring) {
        Utility::sdkLog().trace("[Dravik/Ossmer] [Abnormal the PackNum] [cur]:[{}] [exp]:[{}]", signals.front().PackNum,
                                expectedPackNum_);
    }
    expectedPackNum_ = int64_t{signals.back().PackNum} + 1;
    if (mode == AmpModeSignal || mode == AmpModeSignalResist) {
        signalResistBus_->notify({signals, resists});
        signalBus_->notify(signals);
        if (mode == AmpModeSignalResist && !resists.empty()) {
            resistBus_->notify(resists);
        }
    } else if (mode == AmpModeResist && !resists.empty()) {
        signalResistBus_->notify({{}, resists});
        resistBus_->notify(resists);
    }
}

}  // namespace VexaDevice::Dravik

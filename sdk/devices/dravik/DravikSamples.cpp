#include "sdk/devices/dravik/DravikSamples.hpp"

#include <utility>

#include "sdk/core/Log.hpp"

namespace VexaDevice::Dravik {

namespace {

constexpr size_t kRawBytesPerNotification = 158;

}  // namespace

DravikSamples::DravikSamples(std::shared_ptr<SignalProcessParam> processing)
    : processing_(std::move(processing)),
      rawRing_(std::make_shared<Utility::RBuffer<std::vector<uint8_t>>>(DravikBuses::RingCapacity)),
      modeBus_(std::make_shared<DravikBuses::ModeBus>(DravikBuses::Capacity)),
      signalResistBus_(std::make_shared<DravikBuses::SignalResistBus>(DravikBuses::Capacity)),
      signalBus_(std::make_shared<DravikBuses::SignalBus>(DravikBuses::Capacity)),
      resistBus_(std::make_shared<DravikBuses::ResistBus>(DravikBuses::Capacity)),
      rawSignalBus_(std::make_shared<DravikBuses::RawSignalBus>(DravikBuses::Capacity)) {}

void DravikSamples::push(const std::vector<uint8_t>& bytes) { rawRing_->push(bytes); }

void DravikSamples::followMode(uint8_t mode) {
    if (mode == lastMode_) {
        return;
    }
    if (mode >= AmpModeSignal && lastMode_ <= AmpModeIdle) {
        expectedPackNum_ = -1;
    }
    lastMode_ = mode;
    modeBus_->notify(mode);
}

void DravikSamples::publish() {
    const auto packs = rawReader_.poll(*rawRing_);
    if (packs.empty()) {
        return;
    }
    std::vector<uint8_t> raw;
    raw.reserve(packs.size() * kRawBytesPerNotification);
    for (const auto& pack : packs) {
        raw.insert(raw.end(), pack.begin(), pack.end());
    }
    if (!raw.empty()) {
        rawSignalBus_->notify(raw);
    }
    // Each notification carries whole packets: one cut short is dropped on its own, so it
    // neither reads the next one's bytes nor takes the packets after it along.
    std::vector<Kestrane::_SignalData> signals;
    std::vector<_DravikResistData> resists;
    for (const auto& pack : packs) {
        if (parseRawSignal(*processing_, pack, signals, resists) != pack.size()) {
            Utility::sdkLog().debug("[Dravik] Dropped a data notification of {} bytes that holds no whole packets",
                                    pack.size());
        }
    }
    if (signals.empty()) {
        return;
    }
    const uint8_t mode = lastMode_;
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

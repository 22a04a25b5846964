#include "sdk/devices/tessel/PackCounter.hpp"

#include <algorithm>
#include <mutex>

namespace VexaDevice::Tessel {

uint64_t PackCounter::onPack(uint32_t packNum) {
    std::unique_lock lock(mutex_);
    uint64_t lost = 0;
    if (!started_)
        started_ = true;
    else if (packNum > lastPackNum_)
        lost = packNum - lastPackNum_ - 1;
    else
        lost = MaxPackNum + packNum - lastPackNum_;
    lastPackNum_ = std::min<uint64_t>(MaxPackNum, packNum);
    lost_ += lost;
    expected_ += lost + 1;
    ++received_;
    return lost;
}

void PackCounter::reset() {
    std::unique_lock lock(mutex_);
    started_ = false;
    lastPackNum_ = 0;
    expected_ = 0;
    received_ = 0;
    lost_ = 0;
}

void PackCounter::setSamplingFrequency(uint64_t hertz) {
    {
        std::unique_lock lock(mutex_);
        samplingFrequency_ = hertz;
    }
    reset();
}

uint64_t PackCounter::samplingFrequency() const {
    std::shared_lock lock(mutex_);
    return samplingFrequency_;
}

uint64_t PackCounter::lostCount() const {
    std::shared_lock lock(mutex_);
    return lost_;
}

uint64_t PackCounter::receivedCount() const {
    std::shared_lock lock(mutex_);
    return received_;
}

double PackCounter::lostPercent() const {
    std::shared_lock lock(mutex_);
    return expected_ == 0 ? 0.0 : static_cast<double>(lost_) * 100.0 / static_cast<double>(expected_);
}

}  // namespace VexaDevice::Tessel

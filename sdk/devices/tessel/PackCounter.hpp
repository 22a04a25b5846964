#pragma once
// Statistics of the signal pack numbers: how many packs arrived, how many went missing. The
// numbers run from 0 to 65500 and wrap. Safe from any thread.

#include <cstdint>
#include <shared_mutex>

namespace VexaDevice::Tessel {

class PackCounter {
public:
    // Counts one pack; returns the number of packs lost just before it.
    uint64_t onPack(uint32_t packNum);
    void reset();
    // Also starts the statistics anew.
    void setSamplingFrequency(uint64_t hertz);

    uint64_t samplingFrequency() const;
    uint64_t lostCount() const;
    uint64_t receivedCount() const;
    // Lost packs among those expected, in percent; 0 before any pack.
    double lostPercent() const;

private:
    static constexpr uint64_t MaxPackNum = 65500;

    mutable std::shared_mutex mutex_;
    uint64_t samplingFrequency_ = 0;
    bool started_ = false;
    uint64_t lastPackNum_ = 0;
    uint64_t expected_ = 0;
    uint64_t received_ = 0;
    uint64_t lost_ = 0;
};

}  // namespace VexaDevice::Tessel

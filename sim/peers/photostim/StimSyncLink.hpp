#pragma once
// Stimulator time on the emulated devices, and the synchronisation line between stimulators.
//
// Every emulated stimulator counts ticks of 16 microseconds. Until it synchronises it runs on
// a free clock of its own; once synchronised it reads the time base of the sync link it
// joined, so that every synchronised member of one link reads the same time. A PhotoStim peer
// makes a link; another peer's stimulator (a Dravik device's) joins the same link to be
// synchronised with it:
//
//   auto stimulator = VexaSim::PhotoStimPeer::attach(*radio, address);
//   auto own = VexaSim::PtsServicePeer::add(*otherPeripheral, stimulator->syncLink());
//   stimulator->syncLink()->breakSync();   // both fall out of synchronisation

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace VexaSim {

// Ticks of 16 microseconds from a steady clock, wrapping at 32 bits.
class StimulatorClock {
public:
    static constexpr uint32_t TicksPerSecond = 62500;

    // A clock that reads `startTicks` now.
    explicit StimulatorClock(uint32_t startTicks = 0);
    uint32_t now() const;

private:
    const std::chrono::steady_clock::time_point origin_;
    const uint32_t startTicks_;
};

// A stimulator on a sync link.
class SyncMember {
public:
    virtual ~SyncMember() = default;
    // The link broke: the member is no longer synchronised.
    virtual void onSyncLost() = 0;
};

class StimSyncLink {
public:
    static std::shared_ptr<StimSyncLink> create(uint32_t startTicks = 0);

    // The time every synchronised member reads.
    uint32_t now() const { return clock_.now(); }

    // The link keeps members weakly; a member leaves by going away.
    void join(const std::weak_ptr<SyncMember>& member);
    size_t memberCount() const;

    // Takes every member out of synchronisation, as a broken line would.
    void breakSync();

private:
    explicit StimSyncLink(uint32_t startTicks) : clock_(startTicks) {}

    const StimulatorClock clock_;
    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<SyncMember>> members_;
};

}  // namespace VexaSim

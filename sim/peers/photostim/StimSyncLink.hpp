#pragma once
// Stimulator time on the emulated devices, and the synchronisation line between stimulators.
//
// Every emulated stimulator counts ticks of 16 microseconds. Until it is synchronised it runs
// on a free clock of its own; once synchronised it reads the time base of its sync link, so
// that every synchronised member of one link reads the same time. One member is the link's
// source (the PhotoStim device): while it is prepared for synchronisation it sends pulses, and
// every other member that is prepared then synchronises on them. The source itself
// synchronises on its sync command.
//
//   auto stimulator = VexaSim::PhotoStimPeer::attach(*radio, address);
//   follower = PtsServicePeer::add(peripheral, {.link = stimulator->syncLink(), .syncSource = false});
//   stimulator->syncLink()->breakSync();   // every member falls out of synchronisation

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

// A stimulator on a sync link. The link calls it from the thread of the member that caused
// the event, which may hold its own lock: a member's handlers never call other members.
class SyncMember {
public:
    virtual ~SyncMember() = default;
    // The source started its pulses.
    virtual void onSyncPulse() = 0;
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

    // The source's pulses; turning them on reaches every member but `source`.
    void setPulsing(bool pulsing, const SyncMember* source);
    bool pulsing() const;

    // Takes every member out of synchronisation, as a broken line would.
    void breakSync();

private:
    explicit StimSyncLink(uint32_t startTicks) : clock_(startTicks) {}
    std::vector<std::shared_ptr<SyncMember>> liveMembers() const;

    const StimulatorClock clock_;
    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<SyncMember>> members_;
    bool pulsing_ = false;
};

}  // namespace VexaSim

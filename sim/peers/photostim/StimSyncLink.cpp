#include "sim/peers/photostim/StimSyncLink.hpp"

#include <algorithm>

namespace VexaSim {

StimulatorClock::StimulatorClock(uint32_t startTicks)
    : origin_(std::chrono::steady_clock::now()), startTicks_(startTicks) {}

uint32_t StimulatorClock::now() const {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - origin_);
    return startTicks_ + static_cast<uint32_t>(static_cast<uint64_t>(elapsed.count()) / 16);
}

std::shared_ptr<StimSyncLink> StimSyncLink::create(uint32_t startTicks) {
    return std::shared_ptr<StimSyncLink>(new StimSyncLink(startTicks));
}

void StimSyncLink::join(const std::weak_ptr<SyncMember>& member) {
    std::lock_guard lock(mutex_);
    std::erase_if(members_, [](const auto& weak) { return weak.expired(); });
    members_.push_back(member);
}

size_t StimSyncLink::memberCount() const { return liveMembers().size(); }

std::vector<std::shared_ptr<SyncMember>> StimSyncLink::liveMembers() const {
    std::vector<std::shared_ptr<SyncMember>> live;
    std::lock_guard lock(mutex_);
    for (const auto& weak : members_) {
        if (auto member = weak.lock()) live.push_back(std::move(member));
    }
    return live;
}

void StimSyncLink::setPulsing(bool pulsing, const SyncMember* source) {
    {
        std::lock_guard lock(mutex_);
        pulsing_ = pulsing;
    }
    if (!pulsing) return;
    for (const auto& member : liveMembers()) {
        if (member.get() != source) member->onSyncPulse();
    }
}

bool StimSyncLink::pulsing() const {
    std::lock_guard lock(mutex_);
    return pulsing_;
}

void StimSyncLink::breakSync() {
    for (const auto& member : liveMembers()) member->onSyncLost();
}

}  // namespace VexaSim

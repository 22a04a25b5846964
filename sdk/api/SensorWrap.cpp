#include "sdk/api/SensorWrap.hpp"

#include <algorithm>
#include <mutex>
#include <shared_mutex>

namespace {

std::shared_mutex& linkLock() {
    static std::shared_mutex lock;
    return lock;
}

}  // namespace

_Sensor::_Sensor(std::shared_ptr<VexaDevice::Api::FamilyAccess> access,
                 std::unique_ptr<VexaDevice::Api::FamilyControl> control, uint8_t family, uint8_t model)
    : access_(std::move(access)), control_(std::move(control)), family_(family), model_(model) {}

_Sensor::~_Sensor() { unlinkAll(); }

void _Sensor::link(_Sensor& stimulator) {
    std::unique_lock lock(linkLock());
    if (stimulator.linkedTo_ == this) {
        return;
    }
    // A stimulator moved from another handle leaves that handle's list, or the list would keep
    // a pointer to it after it is freed.
    if (stimulator.linkedTo_ != nullptr) {
        auto& previous = stimulator.linkedTo_->linkedHandles_;
        previous.erase(std::remove(previous.begin(), previous.end(), &stimulator), previous.end());
    }
    dropLinkedHandles();
    linkedHandles_.push_back(&stimulator);
    stimulator.linkedTo_ = this;
}

void _Sensor::unlinkStimulators() {
    std::unique_lock lock(linkLock());
    dropLinkedHandles();
}

void _Sensor::dropLinkedHandles() {
    for (_Sensor* linked : linkedHandles_) {
        if (linked != nullptr && linked->linkedTo_ == this) {
            linked->linkedTo_ = nullptr;
        }
    }
    linkedHandles_.clear();
}

_Sensor* _Sensor::linkedStimulator() const {
    std::shared_lock lock(linkLock());
    const auto found = std::find_if(linkedHandles_.begin(), linkedHandles_.end(),
                                    [](const _Sensor* linked) { return linked != nullptr; });
    return found == linkedHandles_.end() ? nullptr : *found;
}

void _Sensor::unlinkAll() {
    std::unique_lock lock(linkLock());
    if (linkedTo_ != nullptr) {
        auto& siblings = linkedTo_->linkedHandles_;
        const auto self = std::find(siblings.begin(), siblings.end(), this);
        if (self != siblings.end()) {
            siblings.erase(self);
        }
        linkedTo_ = nullptr;
    }
    // The handles linked to this one must not reach it once it is gone.
    dropLinkedHandles();
}

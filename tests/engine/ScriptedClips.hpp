#pragma once

#include <cstdint>

#include "app/engine/ClipPlayer.hpp"

namespace quellwave::testing {

// An affirmation player without sound: starts a clip on every n-th trigger and counts it as
// playing for a given number of blocks (the engine asks once per block).
class ScriptedClips final : public ClipPlayer {
public:
    ScriptedClips(std::uint32_t everyNthTrigger, std::uint32_t blocksPerClip)
        : everyNth_(everyNthTrigger), blocksPerClip_(blocksPerClip) {}

    void resetSession() override {}
    bool trigger(const AffirmationCue&) override {
        if (++triggers_ % everyNth_ != 0) return false;
        blocksLeft_ = blocksPerClip_;
        return true;
    }
    bool isPlaying() override {
        if (blocksLeft_ == 0) return false;
        --blocksLeft_;
        return true;
    }

private:
    std::uint32_t everyNth_;
    std::uint32_t blocksPerClip_;
    std::uint32_t triggers_ = 0;
    std::uint32_t blocksLeft_ = 0;
};

}  // namespace quellwave::testing

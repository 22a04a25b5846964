#pragma once
// The fault switches of an emulated device's wire model: no answer at all; frames refused with an
// error code (0 = off), all of them or only those of one command code; frames acknowledged
// without being carried out. A model derives from it and reads the flags where it answers a
// frame, or lets `resultOf` pick a frame's result.

#include <cstdint>

namespace VexaSim {

class FaultSwitches {
public:
    static constexpr int AnyCommand = -1;

    void setSilent(bool silent) { silent_ = silent; }
    void setRefusal(uint8_t error, int command = AnyCommand) {
        refusal_ = error;
        refusedCommand_ = command;
    }
    void setIgnoring(bool ignoring) { ignoring_ = ignoring; }

protected:
    // The result of a frame of `command`: the refusal's error where one applies, `accepted` while
    // ignoring, else what carrying the frame out gives.
    template <class CarryOut>
    uint8_t resultOf(uint8_t command, uint8_t accepted, CarryOut carryOut) const {
        if (refusal_ != 0 && (refusedCommand_ == AnyCommand || refusedCommand_ == command)) return refusal_;
        if (ignoring_) return accepted;
        return carryOut();
    }

    bool silent_ = false;
    uint8_t refusal_ = 0;
    bool ignoring_ = false;

private:
    int refusedCommand_ = AnyCommand;
};

}  // namespace VexaSim

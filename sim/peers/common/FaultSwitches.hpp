#pragma once
// The fault switches of an emulated device's wire model: no answer at all; frames refused with an
// error code (0 = off); frames acknowledged without being carried out. A model derives from it
// and reads the flags where it answers a frame.

#include <cstdint>

namespace VexaSim {

class FaultSwitches {
public:
    void setSilent(bool silent) { silent_ = silent; }
    void setRefusal(uint8_t error) { refusal_ = error; }
    void setIgnoring(bool ignoring) { ignoring_ = ignoring; }

protected:
    bool silent_ = false;
    uint8_t refusal_ = 0;
    bool ignoring_ = false;
};

}  // namespace VexaSim

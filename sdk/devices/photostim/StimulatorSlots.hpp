#pragma once
// The stimulator reads of an interface that holds a photo-stimulator, declared after the slots of
// `Base` in this order: battery voltage, stimulator state, then the program list read and
// written.

#include <cstdint>
#include <vector>

#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/photostim/PhotoStimRecords.hpp"

namespace VexaDevice::PhotoStim {

template <class Base>
class StimulatorSlots : public Base {
public:
    virtual OperationResult readBattVoltage(int32_t& out) = 0;
    virtual OperationResult readStimState(DevStimulStatus& out) = 0;
    virtual OperationResult readStimPrograms(std::vector<StimProgram>& out) = 0;
    virtual OperationResult writeStimPrograms(const std::vector<StimProgram>& programs) = 0;
};

}  // namespace VexaDevice::PhotoStim

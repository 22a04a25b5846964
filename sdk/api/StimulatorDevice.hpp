#pragma once
// What the exported functions need of a device that runs photo-stimulation programs: the
// PhotoStim device, and the Dravik device with its stimulation service. It is the view of those
// families' controls: the PhotoStim control implements it, the Dravik control offers the device
// it drives.

#include <cstdint>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Api {

class StimulatorDevice {
public:
    virtual ~StimulatorDevice() = default;

    virtual OperationResult writePhotoStimTimeDefer(double seconds) = 0;
    virtual OperationResult writeStimPrograms(const std::vector<StimulProgram>& programs) = 0;
    virtual int32_t maxStimPrograms() = 0;
};

}  // namespace VexaDevice::Api

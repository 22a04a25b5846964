#pragma once
// Writes and counts of a PhotoStim device (family 21): the start deferral and the program list.

#include <vector>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"

namespace VexaDevice::Api {

class PhotoStimControl final : public TableControl<PhotoStim::IPhotoStim> {
public:
    explicit PhotoStimControl(PhotoStim::IPhotoStim& device);

    OperationResult writePhotoStimTimeDefer(double seconds) override;
    OperationResult writeStimPrograms(const std::vector<StimulProgram>& programs) override;
    int32_t maxStimPrograms() override;
    // One phase per program.
    int32_t maxStimulPhases() override;
};

}  // namespace VexaDevice::Api

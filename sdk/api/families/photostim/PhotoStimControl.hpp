#pragma once
// Counts of a PhotoStim device (family 21), and the start deferral and the program list as its
// view `StimulatorDevice`.

#include <vector>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/StimulatorDevice.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"

namespace VexaDevice::Api {

class PhotoStimControl final : public TableControl<PhotoStim::IPhotoStim>, public StimulatorDevice {
public:
    explicit PhotoStimControl(PhotoStim::IPhotoStim& device);

    OperationResult writePhotoStimTimeDefer(double seconds) override;
    OperationResult writeStimPrograms(const std::vector<StimulProgram>& programs) override;
    int32_t maxStimPrograms() override;
};

}  // namespace VexaDevice::Api

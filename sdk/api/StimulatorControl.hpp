#pragma once
// Writes and counts of a device with stimulation programs: the PhotoStim device (family 21), and
// the base of the Dravik control.

#include "sdk/api/FamilyControl.hpp"
#include "sdk/api/StimulatorDevice.hpp"

namespace VexaDevice::Api {

class StimulatorControl : public FamilyControl {
public:
    explicit StimulatorControl(StimulatorDevice& device) : device_(device) {}

    OperationResult writePhotoStimTimeDefer(double seconds) override;
    OperationResult writeStimPrograms(const std::vector<StimulProgram>& programs) override;
    int32_t maxStimPrograms() override;
    // One phase per program.
    int32_t maxStimulPhases() override;

private:
    StimulatorDevice& device_;
};

}  // namespace VexaDevice::Api

#include "sdk/api/StimulatorControl.hpp"

namespace VexaDevice::Api {

OperationResult StimulatorControl::writePhotoStimTimeDefer(double seconds) {
    return device_.writePhotoStimTimeDefer(seconds);
}

OperationResult StimulatorControl::writeStimPrograms(const std::vector<StimulProgram>& programs) {
    return device_.writeStimPrograms(programs);
}

int32_t StimulatorControl::maxStimPrograms() { return device_.maxStimPrograms(); }

int32_t StimulatorControl::maxStimulPhases() { return device_.maxStimPrograms(); }

}  // namespace VexaDevice::Api

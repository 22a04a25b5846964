#include "sdk/api/families/photostim/PhotoStimControl.hpp"

namespace VexaDevice::Api {

namespace {

// A photo-stimulator has no byte parameters, ping or signal channels; it runs one phase per
// program.
const ControlTable<PhotoStim::IPhotoStim>& photoStimWrites() {
    static const ControlTable<PhotoStim::IPhotoStim> table{
        .maxStimulPhases = [](PhotoStim::IPhotoStim& device) { return device.maxProgramCount(); },
    };
    return table;
}

}  // namespace

PhotoStimControl::PhotoStimControl(PhotoStim::IPhotoStim& device) : TableControl(device, photoStimWrites()) {
    offer<StimulatorDevice>(*this);
}

OperationResult PhotoStimControl::writePhotoStimTimeDefer(double seconds) { return device().writeTimeDefer(seconds); }

OperationResult PhotoStimControl::writeStimPrograms(const std::vector<StimulProgram>& programs) {
    std::vector<PhotoStim::StimProgram> list;
    list.reserve(programs.size());
    for (const auto& program : programs) {
        list.push_back(deviceProgram(program));
    }
    return device().writeStimPrograms(list);
}

int32_t PhotoStimControl::maxStimPrograms() { return device().maxProgramCount(); }

}  // namespace VexaDevice::Api

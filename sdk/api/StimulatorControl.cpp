#include "sdk/api/StimulatorControl.hpp"

#include <utility>

namespace VexaDevice::Api {

namespace {

ControlSlots withPhases(StimulatorDevice& device, ControlSlots slots) {
    slots.maxStimulPhases = [&device] { return device.maxStimPrograms(); };
    return slots;
}

}  // namespace

StimulatorControl::StimulatorControl(StimulatorDevice& device, ControlSlots slots)
    : FamilyControl(withPhases(device, std::move(slots))) {
    offer<StimulatorDevice>(device);
}

}  // namespace VexaDevice::Api

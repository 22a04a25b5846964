#pragma once
// The control of a device known by what it needs to run stimulation programs: the base of the
// Dravik control. It offers the device as its `StimulatorDevice` view and counts one
// stimulation phase per program.

#include "sdk/api/FamilyControl.hpp"
#include "sdk/api/StimulatorDevice.hpp"

namespace VexaDevice::Api {

class StimulatorControl : public FamilyControl {
public:
    // `slots`: the device's other slots; the device outlives the control.
    explicit StimulatorControl(StimulatorDevice& device, ControlSlots slots = {});
};

}  // namespace VexaDevice::Api

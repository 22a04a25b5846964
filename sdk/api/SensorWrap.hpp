#pragma once
// The sensor handle behind the exported sensor functions: the family's access adapter around the
// device object and its control, both made once with the handle, the family and model bytes it
// was made with, and the links between a Dravik sensor and the photo-stimulators attached to it.

#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/FamilyControl.hpp"
#include "sdk/api/include/ambrelkit2.h"

struct _Sensor {
public:
    // The control refers to the device object the access holds.
    _Sensor(std::shared_ptr<VexaDevice::Api::FamilyAccess> access,
            std::unique_ptr<VexaDevice::Api::FamilyControl> control, uint8_t family, uint8_t model);
    // Unlinks the handle from every handle it is linked with, drops the control, then releases
    // the device object (its last owner ends it: the family stops its worker and notifications).
    virtual ~_Sensor();
    _Sensor(const _Sensor&) = delete;
    _Sensor& operator=(const _Sensor&) = delete;

    VexaDevice::Api::FamilyAccess& access() const { return *access_; }
    VexaDevice::Sensor::ISensor& sensor() const { return access_->sensor(); }
    VexaDevice::Api::FamilyControl& control() const { return *control_; }
    uint8_t family() const { return family_; }
    uint8_t model() const { return model_; }

    // Makes `stimulator` the one photo-stimulator handle linked to this one.
    void link(_Sensor& stimulator);
    // Drops every photo-stimulator handle linked to this one.
    void unlinkStimulators();
    // The first photo-stimulator linked to this handle, or null.
    _Sensor* linkedStimulator() const;

private:
    void unlinkAll();
    // Under the link lock.
    void dropLinkedHandles();

    const std::shared_ptr<VexaDevice::Api::FamilyAccess> access_;
    const std::unique_ptr<VexaDevice::Api::FamilyControl> control_;
    const uint8_t family_;
    const uint8_t model_;
    // Guarded by the process-wide link lock, so two linked handles freed at once cannot
    // wait on each other.
    std::vector<_Sensor*> linkedHandles_;
    _Sensor* linkedTo_ = nullptr;
};

namespace VexaDevice::Api {
using SensorWrap = ::_Sensor;
}  // namespace VexaDevice::Api

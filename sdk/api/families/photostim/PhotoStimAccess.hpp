#pragma once
// The exported functions' view of a PhotoStim device (family 21): its reads, its battery,
// battery-voltage, stimulation-state and sync-state events, the start deferral and the
// program list.

#include <memory>
#include <vector>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"

namespace VexaDevice::Api {

class PhotoStimAccess final : public TableAccess<PhotoStim::IPhotoStim>, public StimulatorView {
public:
    explicit PhotoStimAccess(std::shared_ptr<PhotoStim::IPhotoStim> device);

    OperationResult readPhotoStimTimeDefer(double& out) override;
    OperationResult readStimPrograms(std::vector<StimulProgram>& out) override;
};

}  // namespace VexaDevice::Api

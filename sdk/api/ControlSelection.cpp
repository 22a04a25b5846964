#include "sdk/api/ControlSelection.hpp"

#include "sdk/api/DravikAccess.hpp"
#include "sdk/api/DravikControl.hpp"
#include "sdk/api/LorrelControl.hpp"
#include "sdk/api/Morvex2Control.hpp"
#include "sdk/api/MorvexBlackControl.hpp"
#include "sdk/api/MorvexControl.hpp"
#include "sdk/api/PhotoStimControl.hpp"
#include "sdk/api/TesselControl.hpp"
#include "sdk/api/VondraControl.hpp"

namespace VexaDevice::Api {

std::unique_ptr<FamilyControl> controlFor(const _Sensor& handle) {
    Sensor::ISensor& sensor = handle.sensor();
    if (auto* device = dynamic_cast<Morvex2::IMorvex2*>(&sensor)) {
        return std::make_unique<Morvex2Control>(*device, handle.family());
    }
    if (auto* device = dynamic_cast<MorvexBlack::IMorvex*>(&sensor)) {
        return std::make_unique<MorvexBlackControl>(*device, handle.model());
    }
    if (auto* device = dynamic_cast<Morvex::IMorvex*>(&sensor)) {
        return std::make_unique<MorvexControl>(*device);
    }
    if (auto* device = dynamic_cast<Lorrel::ILorrel*>(&sensor)) {
        return std::make_unique<LorrelControl>(*device);
    }
    if (auto* device = dynamic_cast<Tessel::ITessel*>(&sensor)) {
        return std::make_unique<TesselControl>(*device);
    }
    if (auto* device = dynamic_cast<Vondra::IVondra*>(&sensor)) {
        return std::make_unique<VondraControl>(*device);
    }
    if (auto* device = dynamic_cast<Vondra2::IVondra2*>(&sensor)) {
        return std::make_unique<Vondra2Control>(*device);
    }
    if (auto* access = dynamic_cast<DravikAccess*>(&handle.access())) {
        return std::make_unique<DravikControl>(access->dravikDevice());
    }
    if (auto* device = dynamic_cast<DravikDevice*>(&sensor)) {
        return std::make_unique<DravikControl>(*device);
    }
    if (auto* device = dynamic_cast<PhotoStim::IPhotoStim*>(&sensor)) {
        return std::make_unique<PhotoStimControl>(*device);
    }
    if (auto* device = dynamic_cast<StimulatorDevice*>(&sensor)) {
        return std::make_unique<StimulatorControl>(*device);
    }
    return std::make_unique<FamilyControl>();
}

}  // namespace VexaDevice::Api

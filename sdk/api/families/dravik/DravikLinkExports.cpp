// The exported link between a Dravik sensor and the photo-stimulator it synchronises with, set
// through the Dravik control's device and read from the handles' links.

#include <memory>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/ControlExport.hpp"
#include "sdk/api/DravikDevice.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/Log.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

constexpr LibraryError kNotAStimulator{Errors::WriteParameterFailed.code,
                                       "The sensor to link is not a photo-stimulator"};

// A handle's family is the one its descriptor built it as: family 21 holds a PhotoStim device.
bool isPhotoStimulator(const _Sensor& sensor) { return sensor.family() == SensorFamilyPhotoStim; }

// The stimulator's device object, kept alive by the stimulator's adapter.
std::shared_ptr<Sensor::ISensor> sharedDevice(const _Sensor& sensor) {
    return {sensor.access().shared_from_this(), &sensor.sensor()};
}

}  // namespace

extern "C" {

// With a photo-stimulator the Dravik device takes it in place of any other and the two handles
// are linked; with null the device drops its stimulator and the handles their links. A failed
// device call changes no link.
AK_API uint8_t writePhotoStimDravik(_Sensor* sensor, _Sensor* photoStim, CallStatus* status) {
    return viewWrite<DravikDevice>(sensor, status, [&](DravikDevice& device) {
        if (photoStim != nullptr && !isPhotoStimulator(*photoStim)) {
            return failedWith(kNotAStimulator);
        }
        auto result = device.setPhotoStim(photoStim != nullptr ? sharedDevice(*photoStim) : nullptr);
        if (result && photoStim != nullptr) {
            sensor->link(*photoStim);
        } else if (result) {
            sensor->unlinkStimulators();
        }
        return result;
    });
}

AK_API _Sensor* readPhotoStimDravik(_Sensor* sensor) {
    if (sensor == nullptr || sensor->family() != 14) {
        return nullptr;
    }
    try {
        return sensor->linkedStimulator();
    } catch (const std::exception& error) {
        Utility::sdkLog().error("[readPhotoStimDravik] Failed read PhotoStim: {}", error.what());
    } catch (...) {
        Utility::sdkLog().error("[readPhotoStimDravik] Failed read PhotoStim");
    }
    return nullptr;
}

}  // extern "C"

// The exports of the views several families offer (SharedViews.hpp, StimulatorDevice.hpp): the
// photo-stimulator's deferral and programs, the four- and eight-channel amplifier records, and
// the first-generation Morvex signal and resistance records. A sensor whose adapter or control
// offers no such view answers as a family without the parameter or event (121, 122 or 124).

#include <vector>

#include <fmt/format.h>

#include "sdk/api/CallbackExport.hpp"
#include "sdk/api/ControlExport.hpp"
#include "sdk/api/ReadExport.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/api/StimulatorDevice.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

extern "C" {

AK_API uint8_t readPhotoStimTimeDefer(_Sensor* sensor, double* seconds, CallStatus* status) {
    return readValue(sensor, seconds, status, viewRead(&StimulatorView::readPhotoStimTimeDefer));
}

AK_API uint8_t readStimPrograms(_Sensor* sensor, StimulProgram* programs, int32_t* count, CallStatus* status) {
    return readList<StimulProgram, StimulProgram>(sensor, programs, count, status,
                                                  viewRead(&StimulatorView::readStimPrograms),
                                                  [](const StimulProgram& program) { return program; });
}

AK_API uint8_t readAmplifierParamMorvex2(_Sensor* sensor, Morvex2AmplifierParam* param, CallStatus* status) {
    return readIntoCallersValue(sensor, param, status, viewRead(&Morvex2AmplifierView::readAmplifierMorvex2));
}

AK_API uint8_t readAmplifierParamWrenlet(_Sensor* sensor, WrenletAmplifierParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&WrenletAmplifierView::readAmplifierWrenlet));
}

AK_API uint8_t writePhotoStimTimeDefer(_Sensor* sensor, double seconds, CallStatus* status) {
    return viewWrite<StimulatorDevice>(
        sensor, status, [&](StimulatorDevice& device) { return device.writePhotoStimTimeDefer(seconds); });
}

// A list longer than the family holds is refused rather than cut short, and an empty or missing
// list is refused: nothing of the host's programs is dropped unseen.
AK_API uint8_t writeStimPrograms(_Sensor* sensor, const StimulProgram* programs, int32_t count, CallStatus* status) {
    return viewWrite<StimulatorDevice>(sensor, status, [&](StimulatorDevice& device) {
        const int32_t most = device.maxStimPrograms();
        if (most == 0) {
            return unsupportedWrite();
        }
        if (programs == nullptr || count <= 0) {
            return failedWith(Errors::WriteParameterFailed);
        }
        if (count > most) {
            return OperationResult::failed(
                static_cast<int32_t>(Errors::WriteParameterFailed.code),
                fmt::format("Too many stimulation programs: {} given, the sensor holds at most {}", count, most));
        }
        return device.writeStimPrograms(std::vector<StimulProgram>(programs, programs + count));
    });
}

AK_API uint8_t writeAmplifierParamMorvex2(_Sensor* sensor, Morvex2AmplifierParam param, CallStatus* status) {
    return viewWrite<Morvex2AmplifierWriteView>(
        sensor, status, [&](Morvex2AmplifierWriteView& view) { return view.writeAmplifierMorvex2(param); });
}

AK_API uint8_t writeAmplifierParamWrenlet(_Sensor* sensor, WrenletAmplifierParam param, CallStatus* status) {
    return viewWrite<WrenletAmplifierWriteView>(
        sensor, status, [&](WrenletAmplifierWriteView& view) { return view.writeAmplifierWrenlet(param); });
}

AK_API uint8_t addSignalDataCallbackMorvex(_Sensor* sensor, MorvexSignalCallback callback, DualCallbackHandle** handle,
                                           void* userData, CallStatus* status) {
    return addDual(sensor, callback, handle, userData, status, &MorvexRecordsView::addSignalDataMorvex);
}

AK_API uint8_t addResistCallbackMorvex(_Sensor* sensor, MorvexResistCallback callback, DualCallbackHandle** handle,
                                       void* userData, CallStatus* status) {
    return addDual(sensor, callback, handle, userData, status, &MorvexRecordsView::addResistMorvex);
}

}  // extern "C"

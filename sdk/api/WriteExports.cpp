// The exported parameter writes. Each hands the host's value to the sensor's control, or for a
// family's own record to the view of the control that has it; a family without the parameter
// answers 122, and a failure without a code of its own reports 120.

#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/ControlExport.hpp"
#include "sdk/api/DravikDevice.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/api/StimulatorDevice.hpp"
#include "sdk/api/families/dravik/DravikControl.hpp"
#include "sdk/api/families/tessel/TesselControl.hpp"
#include "sdk/api/families/vondra/VondraControl.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

template <typename Write>
uint8_t writeExport(_Sensor* sensor, CallStatus* status, Write write) {
    return controlExport(sensor, status, Errors::WriteParameterFailed, write);
}

uint8_t writeByte(_Sensor* sensor, uint8_t value, CallStatus* status, WriteParameter parameter) {
    return writeExport(sensor, status, [&](FamilyControl& control) { return control.writeByte(parameter, value); });
}

// The filters of the host's array as one-byte values, repeats dropped; none for a null array.
std::set<uint8_t> filterSet(const int16_t* filters, int32_t count) {
    std::set<uint8_t> set;
    for (int32_t index = 0; filters != nullptr && index < count; ++index) {
        set.insert(static_cast<uint8_t>(filters[index] & 0xFF));
    }
    return set;
}

}  // namespace

extern "C" {

AK_API uint8_t writeSamplingFrequencySensor(_Sensor* sensor, uint8_t code, CallStatus* status) {
    return writeByte(sensor, code, status, WriteParameter::SamplingFrequency);
}

AK_API uint8_t writeGainSensor(_Sensor* sensor, uint8_t code, CallStatus* status) {
    return writeByte(sensor, code, status, WriteParameter::Gain);
}

AK_API uint8_t writeDataOffsetSensor(_Sensor* sensor, uint8_t code, CallStatus* status) {
    return writeByte(sensor, code, status, WriteParameter::DataOffset);
}

AK_API uint8_t writeFirmwareModeSensor(_Sensor* sensor, uint8_t mode, CallStatus* status) {
    return writeByte(sensor, mode, status, WriteParameter::FirmwareMode);
}

AK_API uint8_t writeADCInputSensor(_Sensor* sensor, uint8_t code, CallStatus* status) {
    return writeByte(sensor, code, status, WriteParameter::ADCInput);
}

AK_API uint8_t writeExternalSwitchSensor(_Sensor* sensor, uint8_t code, CallStatus* status) {
    return writeByte(sensor, code, status, WriteParameter::ExternalSwitch);
}

AK_API uint8_t writeAccelerometerSensSensor(_Sensor* sensor, uint8_t code, CallStatus* status) {
    return writeByte(sensor, code, status, WriteParameter::AccelerometerSens);
}

AK_API uint8_t writeGyroscopeSensSensor(_Sensor* sensor, uint8_t code, CallStatus* status) {
    return writeByte(sensor, code, status, WriteParameter::GyroscopeSens);
}

AK_API uint8_t writeIrAmplitudeFPGSensor(_Sensor* sensor, uint8_t code, CallStatus* status) {
    return writeByte(sensor, code, status, WriteParameter::IrAmplitude);
}

AK_API uint8_t writeRedAmplitudeFPGSensor(_Sensor* sensor, uint8_t code, CallStatus* status) {
    return writeByte(sensor, code, status, WriteParameter::RedAmplitude);
}

AK_API uint8_t writeAmplifierParamMorvex2(_Sensor* sensor, Morvex2AmplifierParam param, CallStatus* status) {
    return viewWrite<Morvex2AmplifierWriteView>(
        sensor, status, [&](Morvex2AmplifierWriteView& view) { return view.writeAmplifierMorvex2(param); });
}

AK_API uint8_t writeAmplifierParamWrenlet(_Sensor* sensor, WrenletAmplifierParam param, CallStatus* status) {
    return viewWrite<WrenletAmplifierWriteView>(
        sensor, status, [&](WrenletAmplifierWriteView& view) { return view.writeAmplifierWrenlet(param); });
}

AK_API uint8_t writeAmplifierParamVondra2(_Sensor* sensor, Vondra2AmplifierParam param, CallStatus* status) {
    return viewWrite<Vondra2Control>(sensor, status,
                                     [&](Vondra2Control& control) { return control.writeAmplifierVondra2(param); });
}

AK_API uint8_t writeAmplifierParamVondra(_Sensor* sensor, VondraAmplifierParam param, CallStatus* status) {
    return viewWrite<VondraControl>(sensor, status,
                                    [&](VondraControl& control) { return control.writeAmplifierVondra(param); });
}

AK_API uint8_t writeAmplifierParamDravik(_Sensor* sensor, DravikAmplifierParam param, CallStatus* status) {
    return viewWrite<DravikDevice>(sensor, status,
                                   [&](DravikDevice& device) { return writeDravikAmplifier(device, param); });
}

AK_API uint8_t writeHardwareFiltersSensor(_Sensor* sensor, const int16_t* filters, int32_t count, CallStatus* status) {
    return viewWrite<TesselControl>(
        sensor, status, [&](TesselControl& control) { return control.writeHardwareFilters(filterSet(filters, count)); });
}

AK_API uint8_t writeMotionAssistantParamTessel(_Sensor* sensor, TesselMotionAssistantParam param, CallStatus* status) {
    return viewWrite<TesselControl>(sensor, status,
                                    [&](TesselControl& control) { return control.writeMotionAssistantParam(param); });
}

AK_API uint8_t writeMotionCounterParamTessel(_Sensor* sensor, TesselMotionCounterParam param, CallStatus* status) {
    return viewWrite<TesselControl>(sensor, status,
                                    [&](TesselControl& control) { return control.writeMotionCounterParam(param); });
}

AK_API uint8_t writeStimulatorParamTessel(_Sensor* sensor, TesselStimulatorParam param, CallStatus* status) {
    return viewWrite<TesselControl>(sensor, status,
                                    [&](TesselControl& control) { return control.writeStimulatorParam(param); });
}

AK_API uint8_t writeSurveyIdDravik(_Sensor* sensor, int32_t id, CallStatus* status) {
    return viewWrite<DravikDevice>(sensor, status, [&](DravikDevice& device) { return device.writeSurveyId(id); });
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

// Name and serial number are read-only: one body for both exports.
AK_API uint8_t writeNameSensor(_Sensor*, const char*, int32_t, CallStatus* status) {
    const auto result = unsupportedWrite();
    return statusFromResult(&result, status);
}

AK_API uint8_t writeSerialNumberSensor(_Sensor* sensor, const char* text, int32_t length, CallStatus* status)
    __attribute__((alias("writeNameSensor")));

}  // extern "C"

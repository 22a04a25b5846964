// The exported byte-parameter writes every family may answer, the Kestrane-style ping, and the
// read-only name and serial number. Each hands the host's value to the sensor's control; a family without the parameter
// answers 122, and a failure without a code of its own reports 120. The writes of a family's own
// records are beside its control (families/<family>/<Family>Exports.cpp) or the shared view
// (SharedViewExports.cpp).

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/ControlExport.hpp"
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

AK_API uint8_t pingKestrane(_Sensor* sensor, uint8_t marker, CallStatus* status) {
    return controlExport(sensor, status, Errors::CommandFailed,
                         [marker](FamilyControl& control) { return control.ping(marker); });
}

// Name and serial number are read-only: one body for both exports.
AK_API uint8_t writeNameSensor(_Sensor*, const char*, int32_t, CallStatus* status) {
    const auto result = unsupportedWrite();
    return statusFromResult(&result, status);
}

AK_API uint8_t writeSerialNumberSensor(_Sensor* sensor, const char* text, int32_t length, CallStatus* status)
    __attribute__((alias("writeNameSensor")));

}  // extern "C"

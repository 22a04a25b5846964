// The exported parameter reads every family may answer: text, state, bytes, ints, the version
// and the channel list, each from the sensor's family adapter; a family without the parameter
// answers 121. The value handed to the host starts zeroed, so a failed read never passes on stale
// memory, and a failure without a code of its own reports 119. The reads of a family's own
// records are beside its adapter (families/<family>/<Family>Exports.cpp) or the shared view
// (SharedViewExports.cpp).

#include <string>
#include <vector>

#include "sdk/api/HostRecords.hpp"
#include "sdk/api/ReadExport.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

uint8_t readByte(_Sensor* sensor, uint8_t* out, CallStatus* status, ByteParameter parameter) {
    return readValue(sensor, out, status,
                     [parameter](FamilyAccess& access, uint8_t& value) { return access.readByte(parameter, value); });
}

uint8_t readInt(_Sensor* sensor, int32_t* out, CallStatus* status, IntParameter parameter) {
    return readValue(sensor, out, status,
                     [parameter](FamilyAccess& access, int32_t& value) { return access.readInt(parameter, value); });
}

uint8_t readText(_Sensor* sensor, char* buffer, int32_t length, CallStatus* status, TextParameter parameter) {
    if (sensor == nullptr) {
        return statusFail(Errors::ReadParameterFailed, status);
    }
    return guardedExport(status, kReadFailure, [&]() -> uint8_t {
        std::string text;
        const auto result = withDefaultCode(sensor->access().readText(parameter, text), Errors::ReadParameterFailed);
        // The family answers first; a text it has but the host gave nowhere to put is refused.
        if (buffer == nullptr || length <= 0) {
            return result ? statusFail(Errors::ReadParameterFailed, status) : statusFromResult(&result, status);
        }
        copyText(text.c_str(), buffer, static_cast<size_t>(length));
        return statusFromResult(&result, status);
    });
}

}  // namespace

extern "C" {

AK_API uint8_t readNameSensor(_Sensor* sensor, char* buffer, int32_t length, CallStatus* status) {
    return readText(sensor, buffer, length, status, TextParameter::Name);
}

AK_API uint8_t readAddressSensor(_Sensor* sensor, char* buffer, int32_t length, CallStatus* status) {
    return readText(sensor, buffer, length, status, TextParameter::Address);
}

AK_API uint8_t readSerialNumberSensor(_Sensor* sensor, char* buffer, int32_t length, CallStatus* status) {
    return readText(sensor, buffer, length, status, TextParameter::SerialNumber);
}

AK_API uint8_t readStateSensor(_Sensor* sensor, uint8_t* state, CallStatus* status) {
    return readValue(sensor, state, status, [](FamilyAccess& access, uint8_t& value) {
        // A family without the state leaves "disconnected".
        int32_t connection = 1;
        const auto result = access.readState(connection);
        value = static_cast<uint8_t>(connection);
        return result;
    });
}

AK_API uint8_t readFirmwareModeSensor(_Sensor* sensor, uint8_t* mode, CallStatus* status) {
    return readByte(sensor, mode, status, ByteParameter::FirmwareMode);
}

AK_API uint8_t readVersionSensor(_Sensor* sensor, SensorVersion* version, CallStatus* status) {
    return readValue(sensor, version, status,
                     [](FamilyAccess& access, SensorVersion& value) { return access.readVersion(value); });
}

AK_API uint8_t readBattPowerSensor(_Sensor* sensor, int32_t* percent, CallStatus* status) {
    return readInt(sensor, percent, status, IntParameter::BattPower);
}

AK_API uint8_t readBattVoltageSensor(_Sensor* sensor, int32_t* voltage, CallStatus* status) {
    return readInt(sensor, voltage, status, IntParameter::BattVoltage);
}

AK_API uint8_t readSamplingFrequencySensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::SamplingFrequency);
}

AK_API uint8_t readDataOffsetSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::DataOffset);
}

AK_API uint8_t readGainSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::Gain);
}

AK_API uint8_t readAccelerometerSensSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::AccelerometerSens);
}

AK_API uint8_t readGyroscopeSensSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::GyroscopeSens);
}

AK_API uint8_t readSamplingFrequencyMEMSSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::SamplingFrequencyMEMS);
}

AK_API uint8_t readSamplingFrequencyFPGSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::SamplingFrequencyFPG);
}

AK_API uint8_t readIrAmplitudeFPGSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::IrAmplitude);
}

AK_API uint8_t readRedAmplitudeFPGSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::RedAmplitude);
}

AK_API uint8_t readSamplingFrequencyResistSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::SamplingFrequencyResist);
}

AK_API uint8_t readSamplingFrequencyEnvelopeSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::SamplingFrequencyEnvelope);
}

AK_API uint8_t readSamplingFrequencyRespSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::SamplingFrequencyResp);
}

AK_API uint8_t readAmpMode(_Sensor* sensor, uint8_t* mode, CallStatus* status) {
    return readByte(sensor, mode, status, ByteParameter::AmpMode);
}

AK_API uint8_t readStimMode(_Sensor* sensor, uint8_t* mode, CallStatus* status) {
    return readByte(sensor, mode, status, ByteParameter::StimMode);
}

AK_API uint8_t readPhotoStimSyncState(_Sensor* sensor, uint8_t* state, CallStatus* status) {
    return readByte(sensor, state, status, ByteParameter::PhotoStimSyncState);
}

AK_API uint8_t readADCInputSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::ADCInput);
}

AK_API uint8_t readExternalSwitchSensor(_Sensor* sensor, uint8_t* code, CallStatus* status) {
    return readByte(sensor, code, status, ByteParameter::ExternalSwitch);
}

AK_API uint8_t readElectrodeStateTessel(_Sensor* sensor, uint8_t* state, CallStatus* status) {
    return readByte(sensor, state, status, ByteParameter::ElectrodeState);
}

AK_API uint8_t readMEMSCalibrateStateTessel(_Sensor* sensor, uint8_t* state, CallStatus* status) {
    return readByte(sensor, state, status, ByteParameter::MEMSCalibrateState);
}

AK_API uint8_t readColorTessel(_Sensor* sensor, int32_t* colour, CallStatus* status) {
    return readInt(sensor, colour, status, IntParameter::Colour);
}

AK_API uint8_t readMotionCounterTessel(_Sensor* sensor, int32_t* counter, CallStatus* status) {
    return readInt(sensor, counter, status, IntParameter::MotionCounter);
}

AK_API uint8_t readSurveyIdDravik(_Sensor* sensor, int32_t* id, CallStatus* status) {
    return readInt(sensor, id, status, IntParameter::SurveyId);
}

// One body for the three channel-list exports.
AK_API uint8_t readSupportedChannelsMorvex2(_Sensor* sensor, EEGChannelInfo* channels, int32_t* count,
                                            CallStatus* status) {
    return readList<EEGChannelInfo, Sensor::EEGChannelInfo>(
        sensor, channels, count, status,
        [](FamilyAccess& access, std::vector<Sensor::EEGChannelInfo>& out) {
            return access.readSupportedChannels(out);
        },
        hostChannelInfo);
}

AK_API uint8_t readSupportedChannelsDravik(_Sensor* sensor, EEGChannelInfo* channels, int32_t* count,
                                           CallStatus* status) __attribute__((alias("readSupportedChannelsMorvex2")));

AK_API uint8_t readSupportedEEGChannels(_Sensor* sensor, EEGChannelInfo* channels, int32_t* count, CallStatus* status)
    __attribute__((alias("readSupportedChannelsMorvex2")));

}  // extern "C"

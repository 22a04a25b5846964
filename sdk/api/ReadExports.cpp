// The exported parameter reads. Each one asks the sensor's family adapter, or for a family's
// own record the view of the adapter that has it; a family without the parameter answers 121.
// The value handed to the host starts zeroed, so a failed read never passes on stale memory,
// and a failure without a code of its own reports 119.

#include <algorithm>
#include <string>
#include <vector>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/HostRecords.hpp"
#include "sdk/api/SensorWrap.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/api/families/dravik/DravikAccess.hpp"
#include "sdk/api/families/tessel/TesselAccess.hpp"
#include "sdk/api/families/vondra/VondraAccess.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/Log.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

const ExportFailure kReadFailure{Errors::ReadParameterFailed};

// Runs `read(access, value)` on a zeroed value, copies the value out and reports the result.
template <typename Value, typename Read>
uint8_t readValue(_Sensor* sensor, Value* out, CallStatus* status, Read read) {
    if (sensor == nullptr || out == nullptr) {
        return statusFail(Errors::ReadParameterFailed, status);
    }
    return guardedExport(status, kReadFailure, [&]() -> uint8_t {
        Value value{};
        const auto result = withDefaultCode(read(sensor->access(), value), Errors::ReadParameterFailed);
        *out = value;
        return statusFromResult(&result, status);
    });
}

// The same for the records whose read fills only part of them: the rest keeps the caller's values.
template <typename Value, typename Read>
uint8_t readIntoCallersValue(_Sensor* sensor, Value* out, CallStatus* status, Read read) {
    if (sensor == nullptr || out == nullptr) {
        return statusFail(Errors::ReadParameterFailed, status);
    }
    return guardedExport(status, kReadFailure, [&]() -> uint8_t {
        Value value = *out;
        const auto result = withDefaultCode(read(sensor->access(), value), Errors::ReadParameterFailed);
        *out = value;
        return statusFromResult(&result, status);
    });
}

// A read of the adapter's view `View`; a sensor whose adapter offers none answers 121.
template <class View, typename Value>
auto viewRead(OperationResult (View::*read)(Value&)) {
    return [read](FamilyAccess& access, Value& value) {
        auto* view = access.view<View>();
        return view != nullptr ? (view->*read)(value) : unsupportedRead();
    };
}

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

// Reads a list and converts its first min(*count, size) entries into the host's array. The
// family answers first: a sensor without the list refuses it whatever the array and count.
template <typename HostEntry, typename Entry, typename Read, typename Convert>
uint8_t readList(_Sensor* sensor, HostEntry* array, int32_t* count, CallStatus* status, Read read, Convert convert) {
    if (sensor == nullptr) {
        return statusFail(Errors::ReadParameterFailed, status);
    }
    return guardedExport(status, kReadFailure, [&]() -> uint8_t {
        std::vector<Entry> entries;
        const auto result = withDefaultCode(read(sensor->access(), entries), Errors::ReadParameterFailed);
        if (!result && result.code == static_cast<int32_t>(Errors::ReadUnsupported.code)) {
            if (count != nullptr) {
                *count = 0;
            }
            return statusFromResult(&result, status);
        }
        if (array == nullptr || count == nullptr || *count <= 0) {
            return statusFail(Errors::ReadParameterFailed, status);
        }
        const auto written = std::min<size_t>(static_cast<size_t>(*count), entries.size());
        std::transform(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(written), array, convert);
        *count = static_cast<int32_t>(written);
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

AK_API uint8_t readPhotoStimTimeDefer(_Sensor* sensor, double* seconds, CallStatus* status) {
    return readValue(sensor, seconds, status, viewRead(&StimulatorView::readPhotoStimTimeDefer));
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

AK_API uint8_t readAmplifierParamMorvex2(_Sensor* sensor, Morvex2AmplifierParam* param, CallStatus* status) {
    return readIntoCallersValue(sensor, param, status, viewRead(&Morvex2AmplifierView::readAmplifierMorvex2));
}

AK_API uint8_t readAmplifierParamWrenlet(_Sensor* sensor, WrenletAmplifierParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&WrenletAmplifierView::readAmplifierWrenlet));
}

AK_API uint8_t readAmplifierParamVondra2(_Sensor* sensor, Vondra2AmplifierParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&Vondra2Access::readAmplifierVondra2));
}

AK_API uint8_t readAmplifierParamVondra(_Sensor* sensor, VondraAmplifierParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&VondraAccess::readAmplifierVondra));
}

AK_API uint8_t readAmplifierParamDravik(_Sensor* sensor, DravikAmplifierParam* param, CallStatus* status) {
    return readIntoCallersValue(sensor, param, status, viewRead(&DravikAccess::readAmplifierDravik));
}

AK_API uint8_t readFilesystemStatusDravik(_Sensor* sensor, DravikFSStatus* fsStatus, CallStatus* status) {
    return readValue(sensor, fsStatus, status, viewRead(&DravikAccess::readFilesystemStatus));
}

AK_API uint8_t readFileSystemDiskInfoDravik(_Sensor* sensor, DravikFSDiskInfo* info, CallStatus* status) {
    return readValue(sensor, info, status, viewRead(&DravikAccess::readFileSystemDiskInfo));
}

AK_API uint8_t readMotionCounterParamTessel(_Sensor* sensor, TesselMotionCounterParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&TesselAccess::readMotionCounterParam));
}

AK_API uint8_t readMotionAssistantParamTessel(_Sensor* sensor, TesselMotionAssistantParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&TesselAccess::readMotionAssistantParam));
}

AK_API uint8_t readStimulatorParamTessel(_Sensor* sensor, TesselStimulatorParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&TesselAccess::readStimulatorParam));
}

AK_API uint8_t readStimulatorAndMAStateTessel(_Sensor* sensor, TesselStimulatorAndMAState* state, CallStatus* status) {
    return readValue(sensor, state, status, viewRead(&TesselAccess::readStimulatorAndMAState));
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

AK_API uint8_t readStimPrograms(_Sensor* sensor, StimulProgram* programs, int32_t* count, CallStatus* status) {
    return readList<StimulProgram, StimulProgram>(sensor, programs, count, status,
                                                  viewRead(&StimulatorView::readStimPrograms),
                                                  [](const StimulProgram& program) { return program; });
}

AK_API uint8_t readHardwareFiltersSensor(_Sensor* sensor, int16_t* filters, int32_t* count, CallStatus* status) {
    if (sensor == nullptr || filters == nullptr || count == nullptr || *count <= 0) {
        return statusFail(Errors::ReadParameterFailed, status);
    }
    return guardedExport(status, kReadFailure, [&]() -> uint8_t {
        std::vector<uint8_t> active;
        const auto result = withDefaultCode(viewRead(&TesselAccess::readHardwareFilters)(sensor->access(), active),
                                            Errors::ReadParameterFailed);
        if (result) {
            // Ascending filters are written from the back, so the array holds them descending.
            const auto written = std::min<size_t>(static_cast<size_t>(*count), active.size());
            for (size_t index = 0; index < written; ++index) {
                filters[written - 1 - index] = active[index];
            }
            *count = static_cast<int32_t>(written);
        }
        return statusFromResult(&result, status);
    });
}

AK_API void readColorInfo(const _SensorInfo* info, int32_t* colour) {
    if (info == nullptr || colour == nullptr) {
        return;
    }
    const bool tessel = info->SensFamily == 1 || info->SensFamily == 2;
    *colour = tessel && info->SensModel <= 3 ? info->SensModel : 4;
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

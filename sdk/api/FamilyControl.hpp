#pragma once
// What the exported functions can change or run on one sensor: parameter writes, the ping,
// stimulation programs, the answers of the capability counts, and the Dravik file system. Each
// device class gets its own control, chosen by the kind of object that was built; the base
// answers as a family without the parameter (122) or the command (118).

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Api {

class DravikDevice;

enum class WriteParameter {
    SamplingFrequency,
    Gain,
    DataOffset,
    FirmwareMode,
    ADCInput,
    ExternalSwitch,
    AccelerometerSens,
    GyroscopeSens,
    IrAmplitude,
    RedAmplitude,
};

// {failed, 122, "Failed write the sensor parameter"}.
OperationResult unsupportedWrite();
// {failed, 118, "Failed to execute the sensor command"}.
OperationResult unsupportedCommand();

class FamilyControl {
public:
    FamilyControl() = default;
    virtual ~FamilyControl() = default;
    FamilyControl(const FamilyControl&) = delete;
    FamilyControl& operator=(const FamilyControl&) = delete;

    virtual OperationResult writeByte(WriteParameter parameter, uint8_t value);
    virtual OperationResult writeAmplifierMorvex2(const Morvex2AmplifierParam& param);
    virtual OperationResult writeAmplifierWrenlet(const WrenletAmplifierParam& param);
    virtual OperationResult writeAmplifierVondra2(const Vondra2AmplifierParam& param);
    virtual OperationResult writeAmplifierVondra(const VondraAmplifierParam& param);
    virtual OperationResult writeAmplifierDravik(const DravikAmplifierParam& param);
    virtual OperationResult writeHardwareFilters(const std::set<uint8_t>& filters);
    virtual OperationResult writeMotionAssistantParam(const TesselMotionAssistantParam& param);
    virtual OperationResult writeMotionCounterParam(const TesselMotionCounterParam& param);
    virtual OperationResult writeStimulatorParam(const TesselStimulatorParam& param);
    virtual OperationResult writeSurveyId(int32_t id);
    virtual OperationResult writePhotoStimTimeDefer(double seconds);
    // The family's own checks apply to the list; the caller keeps it within maxStimPrograms.
    virtual OperationResult writeStimPrograms(const std::vector<StimulProgram>& programs);
    // The Tessel signal-settings byte: 121 to read and 122 to write for other families.
    virtual OperationResult readSignalSettings(uint8_t& out);
    virtual OperationResult writeSignalSettings(uint8_t value);

    virtual OperationResult ping(int32_t marker);

    // How many stimulation programs the family holds; 0 for a family without programs.
    virtual int32_t maxStimPrograms();
    // The number of signal channels; 0 for a family without a signal.
    virtual int32_t channelsCount();
    // How many stimulation phases the sensor runs; 0 for a family without a stimulator.
    virtual int32_t maxStimulPhases();
    // The filters the family offers, ascending; empty for a family without filters.
    virtual std::set<uint8_t> supportedFilters();

    // The Dravik file system and stimulator link, or null for every other family.
    virtual DravikDevice* dravik();
};

}  // namespace VexaDevice::Api

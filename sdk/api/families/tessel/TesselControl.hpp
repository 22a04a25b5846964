#pragma once
// Writes, counts and filters of a Tessel-class sensor (families 1 and 2); the Tessel exports
// reach its records, filter write and signal settings as its own view.

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/tessel/ITessel.hpp"

namespace VexaDevice::Api {

class TesselControl final : public TableControl<Tessel::ITessel> {
public:
    explicit TesselControl(Tessel::ITessel& device);

    OperationResult writeHardwareFilters(const std::set<uint8_t>& filters);
    OperationResult writeMotionAssistantParam(const TesselMotionAssistantParam& param);
    OperationResult writeMotionCounterParam(const TesselMotionCounterParam& param);
    OperationResult writeStimulatorParam(const TesselStimulatorParam& param);
    OperationResult readSignalSettings(uint8_t& out);
    OperationResult writeSignalSettings(uint8_t value);
};

}  // namespace VexaDevice::Api

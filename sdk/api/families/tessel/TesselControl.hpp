#pragma once
// Writes, filters and signal settings of a Tessel-class sensor (families 1 and 2).

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/tessel/ITessel.hpp"

namespace VexaDevice::Api {

class TesselControl final : public TableControl<Tessel::ITessel> {
public:
    explicit TesselControl(Tessel::ITessel& device);

    OperationResult writeHardwareFilters(const std::set<uint8_t>& filters) override;
    OperationResult writeMotionAssistantParam(const TesselMotionAssistantParam& param) override;
    OperationResult writeMotionCounterParam(const TesselMotionCounterParam& param) override;
    OperationResult writeStimulatorParam(const TesselStimulatorParam& param) override;
    OperationResult readSignalSettings(uint8_t& out) override;
    OperationResult writeSignalSettings(uint8_t value) override;
    std::set<uint8_t> supportedFilters() override;
    // One signal channel; one stimulation phase where the current stimulator is fitted.
    int32_t maxStimulPhases() override;
};

}  // namespace VexaDevice::Api

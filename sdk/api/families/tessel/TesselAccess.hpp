#pragma once
// The exported functions' view of a Tessel-class sensor (families 1 and 2).

#include <memory>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/tessel/ITessel.hpp"

namespace VexaDevice::Api {

class TesselAccess final : public TableAccess<Tessel::ITessel> {
public:
    explicit TesselAccess(std::shared_ptr<Tessel::ITessel> device);

    OperationResult readHardwareFilters(std::vector<uint8_t>& out) override;
    OperationResult readMotionCounterParam(TesselMotionCounterParam& out) override;
    // A pause beyond one byte reads as 255.
    OperationResult readMotionAssistantParam(TesselMotionAssistantParam& out) override;
    OperationResult readStimulatorParam(TesselStimulatorParam& out) override;
    OperationResult readStimulatorAndMAState(TesselStimulatorAndMAState& out) override;

    Subscription addQuaternionData(const HostTarget<QuaternionDataCallback>& host) override;
    Subscription addEnvelopeTessel(const HostTarget<EnvelopeDataCallback>& host) override;
    Subscription addSignalTessel(const HostTarget<TesselSamplesCallback>& host) override;
    Subscription addRespirationTessel(const HostTarget<TesselSamplesCallback>& host) override;
};

}  // namespace VexaDevice::Api

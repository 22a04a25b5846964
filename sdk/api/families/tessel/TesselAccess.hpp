#pragma once
// The exported functions' view of a Tessel-class sensor (families 1 and 2); the Tessel exports
// reach its records and deliveries as its own view.

#include <memory>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/tessel/ITessel.hpp"

namespace VexaDevice::Api {

class TesselAccess final : public TableAccess<Tessel::ITessel> {
public:
    explicit TesselAccess(std::shared_ptr<Tessel::ITessel> device);

    OperationResult readHardwareFilters(std::vector<uint8_t>& out);
    OperationResult readMotionCounterParam(TesselMotionCounterParam& out);
    // A pause beyond one byte reads as 255.
    OperationResult readMotionAssistantParam(TesselMotionAssistantParam& out);
    OperationResult readStimulatorParam(TesselStimulatorParam& out);
    OperationResult readStimulatorAndMAState(TesselStimulatorAndMAState& out);

    Subscription addQuaternionData(const HostTarget<QuaternionDataCallback>& host);
    Subscription addEnvelopeTessel(const HostTarget<EnvelopeDataCallback>& host);
    Subscription addSignalTessel(const HostTarget<TesselSamplesCallback>& host);
    Subscription addRespirationTessel(const HostTarget<TesselSamplesCallback>& host);
};

}  // namespace VexaDevice::Api

#include "sdk/api/DravikSignalProcessing.hpp"

#include "sdk/core/RtException.hpp"
#include "sdk/devices/FamilyFactories.hpp"

namespace VexaDevice::Api {

std::shared_ptr<SignalProcessParam> makeSignalProcessParam(const DravikAmplifier&, double) {
    throw Utility::rt_exception(Devices::kSensorUnsupportedText, Devices::kSensorUnsupportedCode);
}

size_t parseRawSignal(std::shared_ptr<SignalProcessParam>, const std::vector<uint8_t>&,
                      std::vector<Kestrane::_SignalData>&, std::vector<DravikParsedResist>&) {
    throw Utility::rt_exception(Devices::kSensorUnsupportedText, Devices::kSensorUnsupportedCode);
}

}  // namespace VexaDevice::Api

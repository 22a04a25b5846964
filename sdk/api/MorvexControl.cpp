#include "sdk/api/MorvexControl.hpp"

namespace VexaDevice::Api {

namespace {
constexpr int32_t kMorvexChannels = 4;
}

OperationResult MorvexControl::writeByte(WriteParameter parameter, uint8_t value) {
    return parameter == WriteParameter::Gain ? device_.writeGain(value) : unsupportedWrite();
}

int32_t MorvexControl::channelsCount() { return kMorvexChannels; }

}  // namespace VexaDevice::Api

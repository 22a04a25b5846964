#include "sdk/api/MorvexBlackControl.hpp"

#include "sdk/api/WrenletAmplifierForm.hpp"

namespace VexaDevice::Api {

OperationResult MorvexBlackControl::writeByte(WriteParameter parameter, uint8_t value) {
    switch (parameter) {
    case WriteParameter::Gain: return device_.writeGain(value);
    case WriteParameter::AccelerometerSens: return device_.writeAccelerometerSens(value);
    case WriteParameter::GyroscopeSens: return device_.writeGyroscopeSens(value);
    case WriteParameter::IrAmplitude: return device_.writeIrAmplitude(value);
    case WriteParameter::RedAmplitude: return device_.writeRedAmplitude(value);
    default: return unsupportedWrite();
    }
}

OperationResult MorvexBlackControl::writeAmplifierMorvex2(const Morvex2AmplifierParam& param) {
    if (model_ == 0) {
        return unsupportedWrite();
    }
    return device_.writeAmplifierParam(deviceForm(param, exactlyOne));
}

OperationResult MorvexBlackControl::writeAmplifierWrenlet(const WrenletAmplifierParam& param) {
    return device_.writeAmplifierParam(deviceForm(param, anyNonZero));
}

OperationResult MorvexBlackControl::ping(int32_t marker) { return device_.ping(marker); }

int32_t MorvexBlackControl::channelsCount() { return static_cast<int32_t>(kHeadbandChannels); }

}  // namespace VexaDevice::Api

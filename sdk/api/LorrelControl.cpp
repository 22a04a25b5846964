#include "sdk/api/LorrelControl.hpp"

#include "sdk/api/WrenletAmplifierForm.hpp"

namespace VexaDevice::Api {

namespace {

using Lorrel::ILorrel;

const ControlTable<ILorrel>& lorrelWrites() {
    static const ControlTable<ILorrel> table{
        .bytes =
            {
                {WriteParameter::Gain, writeOf<uint8_t>(&ILorrel::writeGain)},
                {WriteParameter::AccelerometerSens, writeOf<uint8_t>(&ILorrel::writeAccelerometerSens)},
                {WriteParameter::GyroscopeSens, writeOf<uint8_t>(&ILorrel::writeGyroscopeSens)},
                {WriteParameter::IrAmplitude, writeOf<uint8_t>(&ILorrel::writeIrAmplitude)},
                {WriteParameter::RedAmplitude, writeOf<uint8_t>(&ILorrel::writeRedAmplitude)},
            },
        .ping = writeOf<int32_t>(&ILorrel::ping),
        .channelsCount = [](ILorrel&) { return static_cast<int32_t>(kHeadbandChannels); },
    };
    return table;
}

}  // namespace

LorrelControl::LorrelControl(ILorrel& device) : TableControl(device, lorrelWrites()) {}

OperationResult LorrelControl::writeAmplifierWrenlet(const WrenletAmplifierParam& param) {
    return device().writeAmplifierParam(deviceForm(param, anyNonZero));
}

}  // namespace VexaDevice::Api

#include "sdk/devices/vondra/VondraWire.hpp"

#include "sdk/core/ConversionTables.hpp"
#include "sdk/devices/common/AmplifierRecordCheck.hpp"

namespace VexaDevice::Vondra {

namespace {

constexpr uint8_t MaxGainIndex = 6;
// The gain index the first generation's amplifier has no code for.
constexpr uint8_t MissingFirstGain = 2;
constexpr uint32_t SamplesPerPack = 1;
constexpr uint32_t CounterSize = 4;
// Reference voltage of the first generation's converters; the second uses the Kestrane default.
constexpr double FirstReferenceVoltage = 4.5;

}  // namespace

uint32_t channelCount(VondraGeneration generation) {
    return generation == VondraGeneration::First ? VondraChannels : 4;
}

std::optional<uint8_t> gainCode(VondraGeneration generation, uint8_t index) {
    if (index > MaxGainIndex || (generation == VondraGeneration::First && index == MissingFirstGain))
        return std::nullopt;
    return Utility::gainToDeviceCode(index);
}

std::optional<uint8_t> currentCode(VondraGeneration generation, uint8_t index) {
    const uint8_t highest = generation == VondraGeneration::First ? 6 : 4;
    if (index > highest) return std::nullopt;
    switch (index) {
    case 0: return 0;
    case 1: return 1;
    case 4: return 2;
    case 5: return 3;
    case 6: return 4;
    default: return std::nullopt;  // 2 and 3: the amplifier has no such current
    }
}

OperationResult checkAmplifier(VondraGeneration generation, const VondraAmplifierParam& param) {
    const Devices::AmplifierTables tables{
        [generation](uint8_t index) { return gainCode(generation, index).has_value(); },
        [generation](uint8_t index) { return currentCode(generation, index).has_value(); }};
    return Devices::checkAmplifierRecord({param.signalUse, param.resistUse, param.gain, param.current},
                                         channelCount(generation), tables);
}

std::vector<uint8_t> amplifierFrame(VondraGeneration generation, const VondraAmplifierParam& param) {
    const uint32_t channels = channelCount(generation);
    std::vector<uint8_t> frame{Frame::Amplifier};
    for (uint32_t ch = 0; ch < channels; ++ch) {
        frame.push_back(param.signalUse[ch] != 0 ? 1 : 0);
        frame.push_back(gainCode(generation, param.gain[ch]).value_or(0));
    }
    frame.push_back(currentCode(generation, param.current).value_or(0));
    for (uint32_t ch = 0; ch < channels; ++ch) frame.push_back(param.resistUse[ch] != 0 ? 1 : 0);
    return frame;
}

VondraAmplifierParam defaultAmplifier(VondraGeneration generation) {
    VondraAmplifierParam param;
    for (uint32_t ch = 0; ch < channelCount(generation); ++ch) {
        param.signalUse[ch] = 1;
        param.resistUse[ch] = 1;
        param.gain[ch] = Kestrane::DefaultGainCode;
    }
    param.current = Kestrane::DefaultCurrentCode;
    return param;
}

Kestrane::StreamLayout vondraLayout(VondraGeneration generation) {
    Kestrane::StreamLayout layout = Kestrane::streamLayout(channelCount(generation), SamplesPerPack, CounterSize, true);
    if (generation == VondraGeneration::First) {
        layout.signal.referenceVoltage = FirstReferenceVoltage;
        layout.resist.referenceVoltage = FirstReferenceVoltage;
    }
    layout.suffix = GattSuffix;
    layout.amplifierSlots = layout.channelCount;
    layout.commands = Kestrane::streamCommands();
    layout.parameters = Kestrane::streamParameters();
    layout.features = {0, 4, 11};
    return layout;
}

uint8_t samplingFrequencyCode(int32_t hertz) {
    constexpr uint8_t Unknown = 255;
    for (uint8_t code = 0; code <= 9; ++code) {
        // Code 1 (20 Hz) is not one the devices report.
        if (code != 1 && Utility::samplingFrequencyToHz(code) == hertz) return code;
    }
    return Unknown;
}

}  // namespace VexaDevice::Vondra

#include "sdk/devices/kestrane/StreamLayout.hpp"

#include <algorithm>

#include "sdk/core/ConversionTables.hpp"
#include "sdk/devices/common/StreamCapabilities.hpp"

namespace VexaDevice::Kestrane {

using Sensor::SensorCommand;
using Sensor::SensorParamAccess;
using Sensor::SensorParameter;

namespace {

constexpr uint8_t DefaultGainCode = 4;
constexpr uint8_t DefaultCurrentCode = 1;
// 2.4 V as the device states it, in single precision.
constexpr double ReferenceVoltage = static_cast<double>(2.4f);
constexpr uint32_t SignalResolution = 24;
constexpr uint32_t ResistResolution = 32;
constexpr uint32_t SignalValueSize = 3;
constexpr uint32_t ResistValueSize = 4;
constexpr uint32_t ResistCounterSize = 4;
constexpr double ResistUpperLimit = 4000000.0;
constexpr uint32_t RecordsPerStreamPack = 8;
constexpr uint32_t MotionValueSize = 2;
constexpr uint32_t MotionValues = 6;
constexpr uint8_t MotionCode = 1;
constexpr uint32_t FpgValueSize = 3;
constexpr uint32_t FpgValues = 2;
constexpr uint8_t FpgCode = 5;

PackParams streamPack(uint32_t values, uint32_t valueSize, uint32_t counterSize, uint8_t code) {
    return {RecordsPerStreamPack * values * valueSize + counterSize, valueSize, counterSize, code, code};
}

}  // namespace

uint32_t signalPackSize(uint32_t channels, uint32_t samplesPerPack, uint32_t counterSize) {
    return (SignalValueSize * channels + 1) * samplesPerPack + counterSize;
}

StreamLayout streamLayout(uint32_t channels, uint32_t samplesPerPack, uint32_t counterSize, bool littleEndian) {
    StreamLayout layout;
    layout.channelCount = channels;
    layout.littleEndian = littleEndian;
    const uint32_t used = std::min<uint32_t>(channels, MaxChannels);
    const double gain = Utility::gainToFactor(DefaultGainCode);

    SignalParams& signal = layout.signal;
    signal.channelCount = channels;
    signal.referenceVoltage = ReferenceVoltage;
    std::fill_n(signal.gain.begin(), used, gain);
    signal.resolutionBits = SignalResolution;
    signal.samplesPerPack = samplesPerPack;
    signal.packSize = signalPackSize(channels, samplesPerPack, counterSize);
    signal.sampleSize = SignalValueSize;
    signal.counterSize = counterSize;

    ResistParams& resist = layout.resist;
    resist.channelCount = channels;
    resist.referenceVoltage = ReferenceVoltage;
    std::fill_n(resist.gain.begin(), used, gain);
    resist.resolutionBits = ResistResolution;
    resist.current = Utility::currentToAmperes(DefaultCurrentCode);
    std::fill_n(resist.upperLimit.begin(), used, ResistUpperLimit);
    resist.packSize = ResistValueSize * channels + ResistCounterSize;
    resist.samplesPerPack = 1;
    resist.sampleSize = ResistValueSize;
    resist.counterSize = ResistCounterSize;

    layout.motion = streamPack(MotionValues, MotionValueSize, counterSize, MotionCode);
    layout.fpg = streamPack(FpgValues, FpgValueSize, counterSize, FpgCode);
    return layout;
}

Sensor::CommandSet modeCommands() {
    return {toInt(SensorCommand::StartSignal), toInt(SensorCommand::StopSignal), toInt(SensorCommand::StartResist),
            toInt(SensorCommand::StopResist),  toInt(SensorCommand::Idle),       toInt(SensorCommand::PowerDown)};
}

Sensor::CommandSet streamCommands() {
    Sensor::CommandSet commands = modeCommands();
    commands.insert({toInt(SensorCommand::StartSignalAndResist), toInt(SensorCommand::StopSignalAndResist)});
    return commands;
}

Sensor::ParameterMap streamParameters() {
    const int32_t read = toInt(SensorParamAccess::Read);
    const int32_t notify = toInt(SensorParamAccess::ReadNotify);
    return Devices::withIdentityParameters({{toInt(SensorParameter::SamplingFrequency), read},
                                            {toInt(SensorParameter::Offset), read},
                                            {toInt(SensorParameter::FirmwareVersion), read},
                                            {toInt(SensorParameter::BattPower), notify},
                                            {toInt(SensorParameter::SensorMode), read},
                                            {toInt(SensorParameter::SensorFamily), read},
                                            {toInt(SensorParameter::SamplingFrequencyResist), read},
                                            {toInt(SensorParameter::Amplifier), toInt(SensorParamAccess::ReadWrite)}});
}

AmplifierSettings defaultAmplifier(uint32_t channels) {
    return {std::vector<uint8_t>(channels, 1), std::vector<uint8_t>(channels, 1),
            std::vector<uint8_t>(channels, DefaultGainCode), DefaultCurrentCode};
}

}  // namespace VexaDevice::Kestrane

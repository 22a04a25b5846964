#include "sdk/devices/kestrane/StreamLayout.hpp"

#include <algorithm>

#include "sdk/core/ConversionTables.hpp"
#include "sdk/devices/common/StreamCapabilities.hpp"

namespace VexaDevice::Kestrane {

using Sensor::SensorCommand;
using Sensor::SensorParamAccess;
using Sensor::SensorParameter;

namespace {

// 2.4 V as the device states it, in single precision.
constexpr double ReferenceVoltage = static_cast<double>(2.4f);

// A converter value as the signal and resistance packs carry it.
struct ValueFormat {
    uint32_t resolutionBits;
    uint32_t size;  // bytes
};
constexpr ValueFormat SignalValue{.resolutionBits = 24, .size = 3};
constexpr ValueFormat ResistValue{.resolutionBits = 32, .size = 4};
// A resistance pack is one record after a 4-byte counter; resistances go up to 4 MOhm.
constexpr uint32_t ResistCounterSize = 4;
constexpr double ResistUpperLimit = 4000000.0;

// The records of a motion or photoplethysmogram pack: eight of `values` values of `valueSize`
// bytes, and the stream's code (read and write alike).
struct SideStreamRecords {
    uint32_t values;
    uint32_t valueSize;
    uint8_t code;
};
constexpr uint32_t RecordsPerStreamPack = 8;
constexpr SideStreamRecords MotionRecords{.values = 6, .valueSize = 2, .code = 1};
constexpr SideStreamRecords FpgRecords{.values = 2, .valueSize = 3, .code = 5};

PackParams streamPack(const SideStreamRecords& records, uint32_t counterSize) {
    return {RecordsPerStreamPack * records.values * records.valueSize + counterSize, records.valueSize, counterSize,
            records.code, records.code};
}

}  // namespace

uint32_t signalPackSize(uint32_t channels, uint32_t samplesPerPack, uint32_t counterSize) {
    return (SignalValue.size * channels + 1) * samplesPerPack + counterSize;
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
    signal.resolutionBits = SignalValue.resolutionBits;
    signal.samplesPerPack = samplesPerPack;
    signal.packSize = signalPackSize(channels, samplesPerPack, counterSize);
    signal.sampleSize = SignalValue.size;
    signal.counterSize = counterSize;

    ResistParams& resist = layout.resist;
    resist.channelCount = channels;
    resist.referenceVoltage = ReferenceVoltage;
    std::fill_n(resist.gain.begin(), used, gain);
    resist.resolutionBits = ResistValue.resolutionBits;
    resist.current = Utility::currentToAmperes(DefaultCurrentCode);
    std::fill_n(resist.upperLimit.begin(), used, ResistUpperLimit);
    resist.packSize = ResistValue.size * channels + ResistCounterSize;
    resist.samplesPerPack = 1;
    resist.sampleSize = ResistValue.size;
    resist.counterSize = ResistCounterSize;

    layout.motion = streamPack(MotionRecords, counterSize);
    layout.fpg = streamPack(FpgRecords, counterSize);
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

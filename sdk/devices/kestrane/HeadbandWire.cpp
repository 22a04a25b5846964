#include "sdk/devices/kestrane/HeadbandWire.hpp"

#include <algorithm>

#include "sdk/core/ConversionTables.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/AmplifierGainCode.hpp"
#include "sdk/devices/kestrane/KestraneStatus.hpp"
#include "sdk/devices/kestrane/StreamLayout.hpp"

namespace VexaDevice::Kestrane::Headband {

using Sensor::SensorParamAccess;
using Sensor::SensorParameter;
using Sensor::toInt;

namespace {

namespace Frame {
constexpr uint8_t PowerDown = 0x01;
constexpr uint8_t Idle = 0x02;
constexpr uint8_t Signal = 0x03;
constexpr uint8_t Resist = 0x04;
constexpr uint8_t Ping = 0x06;
}  // namespace Frame

constexpr uint8_t DeviceTestMode = 6;

// The devices' reference voltage is a single-precision 2.4.
constexpr double ReferenceVoltage = static_cast<double>(2.4f);
constexpr uint32_t ResolutionBits = 24;
constexpr uint32_t CounterSize = 2;
constexpr uint32_t SignalPackSize = 106;
constexpr uint32_t SignalRecordsPerPack = 8;
constexpr uint32_t SignalValueSize = 3;
constexpr double ProbeCurrentAmperes = 1.5e-7;
constexpr double ResistLimitVolts = 0.8;
constexpr uint32_t MotionPackSize = 98;
constexpr uint32_t MotionValueSize = 2;
constexpr uint32_t FpgPackSize = 50;
constexpr uint32_t FpgValueSize = 3;
constexpr uint8_t DefaultAccelerometerCode = 1;
constexpr uint8_t DefaultGyroscopeCode = 1;
constexpr uint8_t DefaultIrCode = 5;
constexpr uint8_t DefaultRedCode = 5;
constexpr int32_t SignalFeature = 0;
constexpr int32_t ResistFeature = 4;

// The command byte, then `value` once per channel; made at its full size at once.
std::vector<uint8_t> perChannelFrame(uint8_t command, uint8_t value) {
    std::vector<uint8_t> frame(1 + ChannelCount, value);
    frame.front() = command;
    return frame;
}

SignalParams signalParamsWithFactor(double factor) {
    SignalParams params;
    params.channelCount = ChannelCount;
    params.referenceVoltage = ReferenceVoltage;
    std::fill_n(params.gain.begin(), ChannelCount, factor);
    params.resolutionBits = ResolutionBits;
    params.packSize = SignalPackSize;
    params.samplesPerPack = SignalRecordsPerPack;
    params.sampleSize = SignalValueSize;
    params.counterSize = CounterSize;
    return params;
}

PackParams packParams(uint32_t packSize, uint32_t valueSize, uint8_t code1, uint8_t code2) {
    return PackParams{packSize, valueSize, CounterSize, code1, code2};
}

}  // namespace

bool amplifierBusy(uint8_t mode) { return isMeasuring(mode) || mode == DeviceTestMode; }

std::vector<uint8_t> powerDownFrame() { return {Frame::PowerDown}; }

std::vector<uint8_t> idleFrame() { return {Frame::Idle}; }

std::vector<uint8_t> startSignalFrame(uint8_t gainIndex) {
    return perChannelFrame(Frame::Signal, Devices::amplifierGainCode(gainIndex));
}

std::vector<uint8_t> startResistFrame() {
    return perChannelFrame(Frame::Resist, Devices::amplifierGainCode(ResistGainIndex));
}

std::vector<uint8_t> pingFrame(int32_t value) { return {Frame::Ping, static_cast<uint8_t>(value & 0xFF)}; }

SignalParams signalParams(uint8_t gainIndex) { return signalParamsWithFactor(Utility::gainToFactor(gainIndex)); }

SignalParams unitGainSignalParams() { return signalParamsWithFactor(1.0); }

SignalParams resistModeSignalParams() { return signalParamsWithFactor(Utility::gainToFactor(ResistGainIndex)); }

ResistParams resistParams() {
    ResistParams params;
    params.channelCount = ChannelCount;
    params.referenceVoltage = ReferenceVoltage;
    std::fill_n(params.gain.begin(), ChannelCount, 1.0);
    params.resolutionBits = ResolutionBits;
    params.current = ProbeCurrentAmperes;
    std::fill_n(params.upperLimit.begin(), ChannelCount, ResistLimitVolts);
    std::fill_n(params.lowerLimit.begin(), ChannelCount, -ResistLimitVolts);
    params.packSize = SignalPackSize;
    params.samplesPerPack = SignalRecordsPerPack;
    params.sampleSize = SignalValueSize;
    params.counterSize = CounterSize;
    return params;
}

PackParams motionParams() {
    return packParams(MotionPackSize, MotionValueSize, DefaultAccelerometerCode, DefaultGyroscopeCode);
}

PackParams fpgParams() { return packParams(FpgPackSize, FpgValueSize, DefaultIrCode, DefaultRedCode); }

uint8_t samplingFrequencyCode(int32_t hertz) {
    // Codes 3 (125 Hz) to 9 (8000 Hz) of the sampling-frequency table.
    for (uint8_t code = 3; code <= 9; ++code) {
        if (Utility::samplingFrequencyToHz(code) == hertz) return code;
    }
    return NoCode;
}

void checkDeviceVersion(const DeviceVersion& version, uint8_t familyCode) {
    if (version.hardwareMajor == 0 || version.firmwareMajor == 0)
        throw Utility::rt_exception("Device unsupported. Failed recognized the device version");
    if (version.modelMajor != familyCode)
        throw Utility::rt_exception("Device unsupported. Failed recognized the device Family");
}

Devices::Capabilities capabilities(bool hasMotion, bool hasFpg) {
    const int32_t read = toInt(SensorParamAccess::Read);
    const int32_t readNotify = toInt(SensorParamAccess::ReadNotify);
    Devices::Capabilities offered{
        modeCommands(),
        Devices::withIdentityParameters({{toInt(SensorParameter::SamplingFrequency), read},
                                         {toInt(SensorParameter::Gain), toInt(SensorParamAccess::ReadWrite)},
                                         {toInt(SensorParameter::Offset), read},
                                         {toInt(SensorParameter::FirmwareVersion), read},
                                         {toInt(SensorParameter::BattPower), readNotify},
                                         {toInt(SensorParameter::SensorMode), read},
                                         {toInt(SensorParameter::SensorFamily), read}}),
        {SignalFeature, ResistFeature}};
    if (hasMotion) Devices::addMotionStream(offered);
    if (hasFpg) Devices::addFpgStream(offered);
    return offered;
}

}  // namespace VexaDevice::Kestrane::Headband

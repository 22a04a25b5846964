// Feeds arbitrary notification bytes to every Lorrel decoder: status packs (only whole 4-byte
// packs, the last one being the device's state), the big-endian signal packs read as signal and
// as resistance windows, and the motion and photoplethysmogram packs. Every decoder keeps to the
// whole packs of the notification and gives finite values (resistance: non-negative or
// +infinity).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sdk/devices/common/PackSplitter.hpp"
#include "sdk/devices/common/StatusCommandLink.hpp"
#include "sdk/devices/kestrane/KestraneConverters.hpp"
#include "sdk/devices/kestrane/SignalToResistConverter.hpp"
#include "sdk/devices/lorrel/LorrelWire.hpp"

using namespace VexaDevice::Lorrel;
using VexaDevice::Kestrane::_FPGData;
using VexaDevice::Kestrane::_IMUData;
using VexaDevice::Kestrane::_ResistData;
using VexaDevice::Kestrane::_SignalData;

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void statusPacks(const std::vector<uint8_t>& bytes) {
    const auto split =
        VexaDevice::Devices::splitPacks<VexaDevice::Devices::StatusPack>(std::span<const uint8_t>(bytes));
    check(split.packs.size() == bytes.size() / 4);
    check(split.remainder == (bytes.size() % 4 != 0));
    if (!split.packs.empty()) check(split.packs.back().command() == bytes[split.packs.size() * 4 - 1]);
}

void signalAndResistance(const std::vector<uint8_t>& bytes, uint8_t gainIndex) {
    std::vector<_SignalData> signal;
    VexaDevice::Kestrane::SignalConverter(Headband::signalParams(gainIndex), 0).toSignalData(bytes, signal);
    check(signal.size() == bytes.size() / 106 * 8);
    for (const _SignalData& record : signal) {
        check(record.Samples.size() == Headband::ChannelCount);
        for (double value : record.Samples) check(std::isfinite(value));
    }
    std::vector<_SignalData> probed;
    VexaDevice::Kestrane::SignalConverter(Headband::resistModeSignalParams(), 0).toSignalData(bytes, probed);
    VexaDevice::Kestrane::SignalToResistConverter converter(Headband::resistParams());
    std::vector<_ResistData> resist;
    converter.process(probed.data(), probed.size(), resist);
    for (const _ResistData& record : resist)
        for (double ohms : record.Samples) check(!std::isnan(ohms) && ohms >= 0);
}

void motionAndLight(const std::vector<uint8_t>& bytes) {
    std::vector<_IMUData> motion;
    VexaDevice::Kestrane::IMUConverter(Headband::motionParams(), 0, 0).toIMUData(bytes, motion);
    check(motion.size() == bytes.size() / 98 * 8);
    for (const _IMUData& record : motion)
        for (size_t axis = 0; axis < 3; ++axis)
            check(std::isfinite(record.Accelerometer[axis]) && std::isfinite(record.Gyroscope[axis]));
    std::vector<_FPGData> light;
    VexaDevice::Kestrane::FPGConverter(Headband::fpgParams(), 0, 0).toFPGData(bytes, light);
    check(light.size() == bytes.size() / 50 * 8);
    for (const _FPGData& record : light)
        check(record.Value1 >= 0 && record.Value1 < 16777216 && record.Value2 >= 0 && record.Value2 < 16777216);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    statusPacks(bytes);
    signalAndResistance(bytes, size > 0 ? data[0] % (Headband::MaxGainIndex + 1) : Headband::DefaultGainIndex);
    motionAndLight(bytes);
    return 0;
}

// Feeds arbitrary notification bytes to the MorvexBlack signal path, read both as signal and as
// the resistance windows derived from it: whole 106-byte packs give eight records of four finite
// values each, and every resistance value is a non-negative number or +infinity.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sdk/devices/kestrane/KestraneConverters.hpp"
#include "sdk/devices/kestrane/SignalToResistConverter.hpp"
#include "sdk/devices/morvex/MorvexBlackWire.hpp"

using namespace VexaDevice::MorvexBlack;
using VexaDevice::Kestrane::_ResistData;
using VexaDevice::Kestrane::_SignalData;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const uint8_t gainIndex = size > 0 ? data[0] % (MaxGainIndex + 1) : DefaultGainIndex;
    const auto signal = signalParams(gainIndex);
    const size_t expected = size / signal.packSize * signal.samplesPerPack;

    std::vector<_SignalData> records;
    const auto converted = VexaDevice::Kestrane::SignalConverter(signal, 0).toSignalData(bytes, records);
    if (records.size() != expected || converted.ok != (size % signal.packSize == 0)) __builtin_trap();
    for (const _SignalData& record : records) {
        if (record.Samples.size() != ChannelCount) __builtin_trap();
        for (double value : record.Samples)
            if (!std::isfinite(value) || std::fabs(value) > 2.5) __builtin_trap();
    }

    std::vector<_SignalData> probed;
    VexaDevice::Kestrane::SignalConverter(resistModeSignalParams(), 0).toSignalData(bytes, probed);
    VexaDevice::Kestrane::SignalToResistConverter resistance(resistParams());
    std::vector<_ResistData> out;
    // In two halves, as the worker hands them over in batches.
    const size_t half = probed.size() / 2;
    resistance.process(probed.data(), half, out);
    resistance.process(probed.data() + half, probed.size() - half, out);
    for (const _ResistData& record : out) {
        if (record.Samples.size() != ChannelCount) __builtin_trap();
        for (double ohms : record.Samples)
            if (std::isnan(ohms) || ohms < 0) __builtin_trap();
    }
    return 0;
}

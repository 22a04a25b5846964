// Feeds arbitrary bytes to the Dravik decoders: the first 80 bytes (when present) as an ADC
// configuration read that sets the record, the rest as raw data. The walk never takes more bytes
// than it was given, every signal record has 24 values that are finite or NaN (an unknown gain),
// and every resistance is non-negative or +infinity.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sdk/devices/dravik/DravikSignalProcess.hpp"

using namespace VexaDevice::Dravik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const auto status = parseAcsStatus(bytes);
    if (status.mode > AmpModeSignalResist) __builtin_trap();

    DravikAmplifierParam param;
    std::span<const uint8_t> raw = bytes;
    if (size >= kAdcConfigSize) {
        param = decodeAdcConfig(bytes.first(kAdcConfigSize));
        raw = bytes.subspan(kAdcConfigSize);
    }
    auto processing = makeSignalProcessParam(param);
    std::vector<VexaDevice::Kestrane::_SignalData> signals;
    std::vector<_DravikResistData> resists;
    if (parseRawSignal(*processing, raw, signals, resists) > raw.size()) __builtin_trap();
    for (const auto& signal : signals) {
        if (signal.Samples.size() != kChannels) __builtin_trap();
        for (double volts : signal.Samples)
            if (std::isinf(volts) || std::fabs(volts) > 4.6) __builtin_trap();
    }
    for (const auto& resist : resists) {
        if (resist.Values.size() != kChannels || resist.Referents.size() != kReferents) __builtin_trap();
        for (const auto* values : {&resist.Values, &resist.Referents})
            for (double ohms : *values)
                if (std::isnan(ohms) || ohms < 0) __builtin_trap();
    }
    return 0;
}

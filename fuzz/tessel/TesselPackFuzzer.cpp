// Feeds arbitrary notification bytes to the Tessel decoders: every pack is classified, replies
// are decoded (the capability list too, for old and new firmware), data packs are decoded with
// the setting codes taken from the input, and what comes out must stay within its ranges.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "sdk/core/ConversionTables.hpp"
#include "sdk/devices/common/PackSplitter.hpp"
#include "sdk/devices/tessel/PackCounter.hpp"
#include "sdk/devices/tessel/TesselWire.hpp"

using namespace VexaDevice::Tessel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto split = VexaDevice::Devices::splitPacks<TesselPack>(std::span<const uint8_t>(data, size));
    if (split.packs.size() != size / TesselPack::Size) __builtin_trap();
    const uint8_t settings = size > 0 ? data[0] : 0;
    const uint8_t gain = settings % 7;
    const uint8_t offset = settings % 9;
    PackCounter counter;
    for (const TesselPack& pack : split.packs) {
        for (const FirmwareVersion firmware : {FirmwareVersion{33, 202}, FirmwareVersion{42, 15}}) {
            if (const auto reply = decodeReply(pack, firmware)) {
                if (reply->command != pack.code() && reply->command != Code::Error) __builtin_trap();
                deviceResult(*reply);
            }
        }
        const int32_t percent = batteryPercentFromMillivolts(batteryMillivolts(pack));
        if (percent < 0 || percent > 100) __builtin_trap();
        switch (packKind(pack)) {
        case PackKind::Signal:
            for (const double sample : decodeSignal(pack, VexaDevice::Utility::gainToFactor(gain), offset).Samples)
                if (!std::isfinite(sample) || std::fabs(sample) > 2.43) __builtin_trap();
            counter.onPack(pack.lead());
            break;
        case PackKind::Motion: {
            const _MEMSData axes = decodeMotion(pack, settings % 4, (settings >> 2) % 4);
            if (std::fabs(axes.AccelerometerX) > 16.001 || std::fabs(axes.GyroscopeZ) > 2000.1) __builtin_trap();
            break;
        }
        case PackKind::Respiration:
            if (std::fabs(decodeRespiration(pack).Samples.at(0)) > 2.43) __builtin_trap();
            break;
        case PackKind::Envelope:
            if (std::fabs(decodeEnvelope(pack).Value) > 2.43) __builtin_trap();
            break;
        case PackKind::Quaternion: decodeQuaternion(pack); break;
        case PackKind::Reply:
        case PackKind::Ignored: break;
        }
    }
    const double lost = counter.lostPercent();
    if (lost < 0.0 || lost > 100.0) __builtin_trap();
    classifyPacks(split.packs);
    return 0;
}

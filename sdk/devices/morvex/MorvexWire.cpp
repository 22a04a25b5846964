#include "sdk/devices/morvex/MorvexWire.hpp"

#include "sdk/core/DeviceError.hpp"
#include "sdk/devices/common/AmplifierGainCode.hpp"

namespace VexaDevice::Morvex {

namespace {

uint32_t bigEndian32(const MorvexPack& pack, size_t offset) {
    return (uint32_t{pack.bytes[offset]} << 24) | (uint32_t{pack.bytes[offset + 1]} << 16) |
           (uint32_t{pack.bytes[offset + 2]} << 8) | uint32_t{pack.bytes[offset + 3]};
}

// A 21-bit two's-complement field inside a big-endian word: shift the field's top bit to
// bit 31, then shift back arithmetically, which sign-extends exactly.
int32_t signed21(const MorvexPack& pack, size_t wordOffset, unsigned leftShift) {
    const auto word = static_cast<int32_t>(bigEndian32(pack, wordOffset) << leftShift);
    return word >> 11;
}

int16_t bigEndian16(const MorvexPack& pack, size_t offset) {
    return static_cast<int16_t>((uint16_t{pack.bytes[offset]} << 8) | pack.bytes[offset + 1]);
}

}  // namespace

Polarity oppositePolarity(Polarity polarity) {
    return polarity == Polarity::Positive ? Polarity::Negative : Polarity::Positive;
}

std::string morvexErrorName(uint16_t code) {
    if (const char* own = Utility::kSpacedErrors.nameOf(code)) return own;
    switch (code) {
    case ErrorCode::NoError: return "KSP2_ERROR_NOERROR";
    case ErrorCode::Length: return "KSP2_ERROR_LEN";
    case ErrorCode::Mode: return "KSP2_ERROR_MODE";
    default: return "UNKNOWN";
    }
}

OperationResult formatMorvexDeviceError(const OpCmdRes& reply) {
    return Utility::deviceErrorResult(reply.error, morvexErrorName(reply.error));
}

PackCounts readPackCounts(const MorvexPack& pack) {
    PackCounts counts;
    counts.packNum = (uint32_t{pack.bytes[0]} << 3) | (pack.bytes[1] >> 5);
    counts.marker = (pack.bytes[1] >> 4) & 0x01;
    counts.first[static_cast<size_t>(Electrode::O1)] = signed21(pack, 1, 4);
    counts.first[static_cast<size_t>(Electrode::T3)] = signed21(pack, 4, 1);
    counts.first[static_cast<size_t>(Electrode::T4)] = signed21(pack, 6, 6);
    counts.first[static_cast<size_t>(Electrode::O2)] = signed21(pack, 8, 11);
    for (size_t e = 0; e < ElectrodeCount; ++e) counts.difference[e] = bigEndian16(pack, 12 + 2 * e);
    return counts;
}

double countToVolts(int32_t count, double gainFactor) { return count * 2.4 / (gainFactor * 1048575.0); }

namespace {

// Overwrites every field of `data`; its sample storage is kept when large enough.
void decodePackOnto(const MorvexPack& pack, double gainFactor, _SignalData& data) {
    const PackCounts counts = readPackCounts(pack);
    auto sampleOf = [&](const std::array<int32_t, ElectrodeCount>& c) {
        auto volts = [&](Electrode e) { return countToVolts(c[static_cast<size_t>(e)], gainFactor); };
        return MorvexSample{volts(Electrode::O1), volts(Electrode::O2), volts(Electrode::T3), volts(Electrode::T4)};
    };
    std::array<int32_t, ElectrodeCount> second{};
    for (size_t e = 0; e < ElectrodeCount; ++e) second[e] = counts.first[e] + counts.difference[e];

    data.PackNum = counts.packNum;
    data.Marker = counts.marker;
    data.Samples = {sampleOf(counts.first), sampleOf(second)};
}

}  // namespace

_SignalData decodePack(const MorvexPack& pack, double gainFactor) {
    _SignalData data;
    decodePackOnto(pack, gainFactor, data);
    return data;
}

std::vector<_SignalData> decodePacks(std::span<const MorvexPack> packs, double gainFactor) {
    std::vector<_SignalData> records;
    decodePacksInto(packs, gainFactor, records);
    return records;
}

void decodePacksInto(std::span<const MorvexPack> packs, double gainFactor, std::vector<_SignalData>& records) {
    records.resize(packs.size());
    for (size_t i = 0; i < packs.size(); ++i) decodePackOnto(packs[i], gainFactor, records[i]);
}

double electrodeValue(const MorvexSample& sample, Electrode electrode) {
    switch (electrode) {
    case Electrode::O1: return sample.O1;
    case Electrode::T3: return sample.T3;
    case Electrode::T4: return sample.T4;
    case Electrode::O2: return sample.O2;
    }
    return 0.0;
}

std::vector<uint8_t> idleFrame() { return {0x01}; }

std::vector<uint8_t> startSignalFrame(uint8_t gainIndex) {
    const uint8_t g = Devices::amplifierGainCode(gainIndex);
    return {0x02, g, g, g, g};
}

std::vector<uint8_t> selectElectrodeFrame(Electrode electrode, Polarity polarity) {
    const auto selected = static_cast<uint8_t>(electrode);
    std::vector<uint8_t> frame{0x03};
    for (uint8_t e = 0; e < ElectrodeCount; ++e) frame.push_back(e == selected ? 0x30 : 0x91);
    const auto mask = static_cast<uint8_t>(1u << selected);
    frame.push_back(mask);
    frame.push_back(mask);
    frame.push_back(static_cast<uint8_t>(polarity));
    return frame;
}

}  // namespace VexaDevice::Morvex

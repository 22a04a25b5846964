#include "sdk/devices/dravik/DravikSignalProcess.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/ConversionTables.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"

namespace VexaDevice::Dravik {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kFullScaleVolts = 4.5;
constexpr double kFullScaleCount = 8388607.0;
// Lead-off excitation current, and the factor from the demodulated amplitude to the voltage
// peak the current drives through the electrode.
constexpr double kExcitationAmps = 2.4e-8;
constexpr double kAmplitudeScale = 2.0 * 1.1;
constexpr double kResistOffsetOhms = 1000.0;

// Resistance sub-modes of a data packet.
constexpr uint8_t kResistNone = 0;
constexpr uint8_t kResistSimple = 1;
constexpr uint8_t kResistComplex = 2;

// In complex mode a marker with bit 3 set tells what the set's lead-off measures (its low two
// bits): the channels themselves, the first two referents or the third.
constexpr uint8_t kMeasureMarker = 0x08;
constexpr uint8_t kMeasureChannels = 0;
constexpr uint8_t kMeasureReferents12 = 1;
constexpr uint8_t kMeasureReferent3 = 2;

// The indices of the gain table.
constexpr uint8_t kLastGainIndex = 10;

// The factor of a gain-table index; none for an index outside the table.
std::optional<double> gainFactor(uint8_t gain) {
    if (gain > kLastGainIndex) {
        return std::nullopt;
    }
    return Utility::gainToFactor(gain);
}

const char* coefficientText(uint8_t rate) {
    switch (rate) {
    case kRate250: return Sensor::kLowPass10Hz250;
    case kRate1000: return Sensor::kLowPass10Hz1000;
    default: return Sensor::kLowPass10Hz500;
    }
}

bool isRate(uint8_t rate) { return rate >= kRate250 && rate <= kRate1000; }

uint32_t channelMask(const uint8_t* header) { return Utility::decodeUnsigned(header + 6, 3, true); }

bool firstReferentSide(size_t channel) { return channel <= 7 || (channel >= 19 && channel <= 21); }
bool secondReferentSide(size_t channel) { return (channel >= 8 && channel <= 15) || channel >= 22; }

}  // namespace

SignalProcessParam::FilterBank SignalProcessParam::makeFilters(uint8_t rate) {
    const Sensor::IIRCanonicalFilter prototype(coefficientText(rate));
    // Every channel filters its own stream, so each has its own filters.
    return FilterBank(kChannels, Demodulator{prototype, prototype});
}

SignalProcessParam::SignalProcessParam(const DravikAmplifierParam& param, double offsetOhms)
    : record_(param), offset_(offsetOhms), filters_(makeFilters(param.samplingFrequency)) {
    lastResist_.fill(kInfinity);
    referents_.fill(kInfinity);
}

DravikAmplifierParam SignalProcessParam::amplifier() const {
    std::lock_guard lock(recordLock_);
    return record_;
}

void SignalProcessParam::update(const DravikAmplifierParam& param) {
    const uint8_t previous = amplifier().samplingFrequency;
    if (param.samplingFrequency != previous && isRate(param.samplingFrequency)) {
        FilterBank filters = makeFilters(param.samplingFrequency);
        std::lock_guard conversion(conversionLock_);
        filters_.swap(filters);
    }
    std::lock_guard lock(recordLock_);
    record_ = param;
}

void SignalProcessParam::resetResistance() {
    std::lock_guard conversion(conversionLock_);
    lastResist_.fill(kInfinity);
    referents_.fill(kInfinity);
}

void SignalProcessParam::convert(std::span<const std::span<const uint8_t>> packets,
                                 std::vector<Kestrane::_SignalData>& signals, std::vector<_DravikResistData>& resists) {
    const DravikAmplifierParam record = amplifier();
    std::array<std::optional<double>, kChannels> gains;
    std::transform(record.channelGain.begin(), record.channelGain.end(), gains.begin(), gainFactor);
    std::lock_guard conversion(conversionLock_);
    for (const auto packet : packets) {
        if (packet.size() <= kPacketHeaderSize) {
            continue;
        }
        const uint8_t* header = packet.data();
        std::array<size_t, kChannels> present{};
        size_t count = 0;
        for (uint32_t mask = channelMask(header); mask != 0; mask &= mask - 1) {
            present[count++] = static_cast<size_t>(std::countr_zero(mask));
        }
        if (count == 0) {
            continue;
        }
        uint32_t number = Utility::decodeUnsigned(header, 4, true);
        const uint8_t sets = header[4];
        const uint8_t resistMode = header[5];
        const size_t setSize = 3 * count + 1;
        for (size_t set = 0; set < sets && kPacketHeaderSize + (set + 1) * setSize <= packet.size(); ++set, ++number) {
            const uint8_t* bytes = header + kPacketHeaderSize + set * setSize;
            const uint8_t marker = bytes[0];
            Kestrane::_SignalData signal{number, marker, std::vector<double>(kChannels, 0.0)};
            _DravikResistData resist;
            const bool complexMeasure = resistMode == kResistComplex && (marker & kMeasureMarker) != 0;
            const uint8_t measures = marker & 0x03;
            if (complexMeasure && measures == kMeasureReferents12) {
                referents_[0] = referents_[1] = kInfinity;
            } else if (complexMeasure && measures == kMeasureReferent3) {
                referents_[2] = kInfinity;
            }
            if (resistMode != kResistNone) {
                resist.PackNum = static_cast<int32_t>(number);
                resist.Values.assign(lastResist_.begin(), lastResist_.end());
                resist.Referents.assign(referents_.begin(), referents_.end());
            }
            // The excitation runs at a quarter of the sampling rate: a quarter turn per sample.
            const double phase = static_cast<double>((number + 1) & 3) * (std::numbers::pi / 2);
            for (size_t index = 0; index < count; ++index) {
                const size_t channel = present[index];
                if (!gains[channel]) {
                    continue;
                }
                const double volts = Utility::decodeSigned(bytes + 1 + 3 * index, 3, true) * kFullScaleVolts /
                                     (*gains[channel] * kFullScaleCount);
                signal.Samples[channel] = volts;
                if (resistMode == kResistNone || record.channelMode[channel] == ChannelSignal) {
                    continue;
                }
                Demodulator& filters = filters_[channel];
                const double inPhase = filters.cosine.filter(std::cos(phase) * volts);
                const double quadrature = filters.sine.filter(std::sin(phase) * volts);
                const double ohms =
                    std::max(0.0, kAmplitudeScale * std::hypot(inPhase, quadrature) / kExcitationAmps - offset_);
                const double clamped = Utility::clampResistance(ohms);
                if (resistMode == kResistSimple) {
                    resist.Values[channel] = lastResist_[channel] = clamped;
                } else if (complexMeasure && measures == kMeasureChannels) {
                    resist.Values[channel] = lastResist_[channel] = clamped;
                    signal.Marker = 0;
                } else if (complexMeasure && measures == kMeasureReferents12) {
                    signal.Marker = 0;
                    if (firstReferentSide(channel) && ohms < referents_[0] && ohms != 0) {
                        resist.Referents[0] = referents_[0] = clamped;
                    } else if (secondReferentSide(channel) && ohms < referents_[1] && ohms != 0) {
                        resist.Referents[1] = referents_[1] = clamped;
                    }
                } else if (complexMeasure && measures == kMeasureReferent3) {
                    signal.Marker = 0;
                    if (ohms < referents_[2] && ohms != 0) {
                        resist.Referents[2] = referents_[2] = clamped;
                    }
                }
            }
            signals.push_back(std::move(signal));
            if (resistMode != kResistNone) {
                resists.push_back(std::move(resist));
            }
        }
    }
}

OperationResult checkProcessingGains(const DravikAmplifierParam& param) {
    if (std::any_of(param.channelGain.begin(), param.channelGain.end(),
                    [](uint8_t gain) { return !gainFactor(gain); })) {
        return OperationResult::failed(ErrWrongParamValue, "The specified Gain value is not supported");
    }
    return OperationResult::done();
}

std::shared_ptr<SignalProcessParam> makeSignalProcessParam(const DravikAmplifierParam& param) {
    return std::make_shared<SignalProcessParam>(param, kResistOffsetOhms);
}

size_t parseRawSignal(SignalProcessParam& param, std::span<const uint8_t> bytes,
                      std::vector<Kestrane::_SignalData>& signals, std::vector<_DravikResistData>& resists) {
    std::vector<std::span<const uint8_t>> packets;
    size_t offset = 0;
    while (bytes.size() - offset > kPacketHeaderSize) {
        const uint8_t* header = bytes.data() + offset;
        const size_t channels = static_cast<size_t>(std::popcount(channelMask(header)));
        const size_t length = kPacketHeaderSize + header[4] * (3 * channels + 1);
        if (header[4] == 0 || channels == 0 || bytes.size() - offset < length) {
            break;
        }
        packets.push_back(bytes.subspan(offset, length));
        offset += length;
    }
    param.convert(packets, signals, resists);
    return offset;
}

}  // namespace VexaDevice::Dravik

#pragma once
// The Dravik amplifier: its settings record, the 80-byte ADC configuration packet it takes and
// reports, its 20-byte status pack, and the conversion of its raw data packets into signal
// values (volts) and electrode resistances (ohms).
//
// The amplifier is three 8-channel 24-bit converters (24 channels). Electrode resistance is
// measured with an AC lead-off current of 24 nA at a quarter of the sampling rate and recovered
// by quadrature demodulation: per channel the sample is multiplied by the cosine and the sine of
// the excitation phase, each product low-pass filtered, and the amplitude turned into ohms.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/dravik/DravikRecords.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/filters/IIRCanonicalFilter.hpp"

namespace VexaDevice::Dravik {

inline constexpr size_t kReferents = 3;
inline constexpr size_t kAdcConfigSize = 80;
inline constexpr size_t kAcsStatusSize = 20;
inline constexpr size_t kPacketHeaderSize = 12;
// Sample bytes one data packet carries at most (sets x (1 + 3 x channels)).
inline constexpr size_t kPacketSampleBudget = 146;

// Sampling-frequency indices the amplifier runs at; kUnknownIndex marks a rate or gain that a
// configuration read could not name.
inline constexpr uint8_t kRate250 = 4;
inline constexpr uint8_t kRate500 = 5;
inline constexpr uint8_t kRate1000 = 6;
inline constexpr uint8_t kUnknownIndex = 255;

enum ChannelMode : uint8_t {
    ChannelOff = 0,
    ChannelShorted = 1,
    ChannelSignalResist = 2,  // signal with lead-off (resistance) measurement
    ChannelSignal = 3,
    ChannelTest = 4,  // the converter's internal test signal
};

// Amplifier modes as the device reports them (and as the amplifier-mode bus carries them).
enum AmpMode : uint8_t {
    AmpModeUnknown = 0,
    AmpModePowerDown = 1,
    AmpModeIdle = 2,
    AmpModeSignal = 3,
    AmpModeResist = 4,
    AmpModeSignalResist = 5,
};

// One decoded ACS status pack.
struct AcsStatus {
    uint8_t mode = AmpModeUnknown;
    uint8_t resistMode = 0;
    uint32_t surveyId = 0;
    bool dataActive = false;  // the device streams data packets
};

// The configuration packet for `param`, or failure 517 for a rate or gain the amplifier does
// not take, or when fewer channels are in SignalResist mode than referents are to be measured.
OperationResult buildAdcConfig(const DravikAmplifierParam& param, std::vector<uint8_t>& packet);

// The record a configuration read describes (its last whole packet); throws rt_exception
// "Can not read ADC configure" without a whole packet.
DravikAmplifierParam decodeAdcConfig(std::span<const uint8_t> bytes);

// The last whole status pack of a read or notification; mode 0 and nothing else without one.
AcsStatus parseAcsStatus(std::span<const uint8_t> bytes);

// The record, the resistance offset, the last resistances and the demodulation filters of one
// data stream. The record may be read and replaced from any thread; conversions serialise.
class SignalProcessParam {
public:
    SignalProcessParam(const DravikAmplifierParam& param, double offsetOhms);

    DravikAmplifierParam amplifier() const;
    // Takes a record the device accepted; a new rate reloads the filters (their memory starts
    // over).
    void update(const DravikAmplifierParam& param);
    // The last channel and referent resistances become +infinity.
    void resetResistance();

    // Converts whole data packets, appending one signal record per sample set and, where the
    // packet carries a resistance mode, one resistance record. Every gain of the gain table
    // converts with its factor. Never fails: a gain outside the table (an unknown code read
    // from the device) leaves its channel at 0 and out of the resistance measurement, a
    // truncated set ends its packet.
    void convert(std::span<const std::span<const uint8_t>> packets, std::vector<Kestrane::_SignalData>& signals,
                 std::vector<_DravikResistData>& resists);

private:
    struct Demodulator {
        Sensor::IIRCanonicalFilter cosine;
        Sensor::IIRCanonicalFilter sine;
    };
    using FilterBank = std::vector<Demodulator>;

    static FilterBank makeFilters(uint8_t rate);

    mutable std::mutex recordLock_;
    DravikAmplifierParam record_;
    const double offset_;

    std::mutex conversionLock_;
    std::array<double, kChannels> lastResist_;
    std::array<double, kReferents> referents_;
    FilterBank filters_;
};

// Success when every channel's gain index is one of the gain table (0..10), which the
// conversion takes; else 517 "The specified Gain value is not supported".
OperationResult checkProcessingGains(const DravikAmplifierParam& param);

// Parameters with a 1000-ohm resistance offset and the filters of the record's rate (500 Hz
// when the record names none).
std::shared_ptr<SignalProcessParam> makeSignalProcessParam(const DravikAmplifierParam& param);

// Splits `bytes` into data packets from the start, stopping at a packet without sample sets or
// channels or one that is not whole, converts them, and returns the number of bytes taken.
size_t parseRawSignal(SignalProcessParam& param, std::span<const uint8_t> bytes,
                      std::vector<Kestrane::_SignalData>& signals, std::vector<_DravikResistData>& resists);

}  // namespace VexaDevice::Dravik

// The ADC configuration packet and the status pack of the Dravik amplifier.
//
// Configuration packet: byte 0 sample sets per data packet, bytes 1..3 enabled-channel mask,
// byte 4 referent count, byte 6 the configuration flag, then three 24-byte register blocks, one
// per converter (channels 0..7, 8..15, 16..23).

#include <algorithm>
#include <string>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"
#include "sdk/devices/dravik/DravikSignalProcess.hpp"

namespace VexaDevice::Dravik {

namespace {

// Where the register blocks stand in the packet: how many, the channels of each, the first
// block's offset and a block's size in bytes.
struct BlockLayout {
    size_t count;
    size_t channels;
    size_t start;
    size_t size;
};
constexpr BlockLayout kBlocks{.count = 3, .channels = 8, .start = 8, .size = 24};

// Offsets within a register block.
enum BlockRegister : size_t {
    kConfig1 = 0,
    kConfig2 = 1,
    kConfig3 = 2,
    kLeadOff = 3,
    kChannelSet = 4,
    kLeadOffSenseP = 14,
    kLeadOffSenseN = 15,
    kBlockLast = 23
};

// A channel's setting register: the power-down bit and, in its low three bits, the input.
constexpr uint8_t kPowerDownBit = 0x80;
enum ChannelInput : uint8_t { kInputNormal = 0, kInputShorted = 1, kInputTest = 5 };

// Gain-table index -> the converter's 3-bit gain code, and back.
constexpr std::array<uint8_t, 8> kGainCodes{0, 1, kUnknownIndex, 2, 3, 4, 5, 6};
constexpr std::array<uint8_t, 8> kGainIndices{0, 1, 3, 4, 5, 6, 7, kUnknownIndex};

uint8_t config1(uint8_t rate) {
    switch (rate) {
    case kRate250: return 0xD6;
    case kRate500: return 0xD5;
    default: return 0xD4;
    }
}

uint8_t rateFromConfig1(uint8_t config) {
    switch (config & 0x07) {
    case 4: return kRate1000;
    case 5: return kRate500;
    case 6: return kRate250;
    default: return kUnknownIndex;
    }
}

size_t block(size_t channel) { return kBlocks.start + (channel / kBlocks.channels) * kBlocks.size; }

OperationResult wrongValue(std::string text) { return OperationResult::failed(ErrWrongParamValue, std::move(text)); }

// The last whole `size`-byte pack of `bytes`, logging lengths that are not whole packs.
std::span<const uint8_t> lastPack(std::span<const uint8_t> bytes, size_t size, const char* lengthWarning,
                                  const char* manyTrace) {
    const size_t packs = bytes.size() / size;
    if (bytes.size() % size != 0) {
        Utility::sdkLog().warn("{}", lengthWarning);
    }
    if (packs > 1) {
        Utility::sdkLog().trace("{}: [{}]", manyTrace, packs);
    }
    return packs == 0 ? std::span<const uint8_t>{} : bytes.subspan((packs - 1) * size, size);
}

}  // namespace

OperationResult buildAdcConfig(const DravikAmplifierParam& param, std::vector<uint8_t>& packet) {
    if (param.samplingFrequency < kRate250 || param.samplingFrequency > kRate1000) {
        return wrongValue("The specified Frequency value is not supported");
    }
    std::vector<uint8_t> bytes(kAdcConfigSize, 0);
    const uint8_t referents = param.referentMode == 1 ? 1 : 2;
    bytes[4] = referents;
    std::array<bool, kBlocks.count> testSignal{};
    size_t enabled = 0;
    for (size_t channel = 0; channel < kChannels; ++channel) {
        const uint8_t gain = param.channelGain[channel];
        if (gain >= kGainCodes.size() || kGainCodes[gain] == kUnknownIndex) {
            return wrongValue("The specified Gain value is not supported");
        }
        const size_t base = block(channel);
        const auto bit = static_cast<uint8_t>(1u << (channel % kBlocks.channels));
        uint8_t& setting = bytes[base + kChannelSet + channel % kBlocks.channels];
        setting = static_cast<uint8_t>(kGainCodes[gain] << 4);
        const uint8_t mode = param.channelMode[channel];
        switch (mode) {
        case ChannelShorted: setting |= kInputShorted; break;
        case ChannelSignalResist:
        case ChannelSignal: setting |= kInputNormal; break;
        case ChannelTest:
            setting |= kInputTest;
            testSignal[channel / kBlocks.channels] = true;
            break;
        default: setting |= kPowerDownBit | kInputShorted; continue;
        }
        ++enabled;
        bytes[1 + channel / 8] |= bit;
        if (mode != ChannelSignal) {
            bytes[base + kLeadOffSenseP] |= bit;
        }
    }
    for (size_t index = 0; index < kBlocks.count; ++index) {
        const size_t base = kBlocks.start + index * kBlocks.size;
        bytes[base + kConfig1] = config1(param.samplingFrequency);
        bytes[base + kConfig2] = testSignal[index] ? 0xD4 : 0xD0;
        bytes[base + kConfig3] = index == 0 ? 0xEC : 0xE0;
        bytes[base + kLeadOff] = 0x07;
        bytes[base + kBlockLast] = 2;
    }
    if (param.referentsResist != 0) {
        // The first SignalResist channels, one per referent, carry the referents' lead-off. Two
        // of them may share a converter, so their bits add up.
        size_t left = referents;
        for (size_t channel = 0; channel < kChannels && left > 0; ++channel) {
            if (param.channelMode[channel] == ChannelSignalResist) {
                bytes[block(channel) + kLeadOffSenseN] |= static_cast<uint8_t>(1u << (channel % kBlocks.channels));
                --left;
            }
        }
        if (left > 0) {
            return wrongValue("To measure the resistance of the referents, it is required to turn on [" +
                              std::to_string(referents) + "] channels in the signal measurement (SignalResist) mode");
        }
    }
    bytes[6] = param.configFlag != 0 ? 1 : 0;
    bytes[0] = static_cast<uint8_t>(std::max<size_t>(1, kPacketSampleBudget / (3 * enabled + 1)));
    packet = std::move(bytes);
    return OperationResult::done();
}

DravikAmplifierParam decodeAdcConfig(std::span<const uint8_t> bytes) {
    const auto packet = lastPack(bytes, kAdcConfigSize, "Error data length ADC config. Device: [Tarn3 Protocol]",
                                 "Recived more then one pack ADC config");
    if (packet.empty()) {
        throw Utility::rt_exception("Can not read ADC configure");
    }
    DravikAmplifierParam param;
    param.referentMode = packet[4] == 1 ? 1 : 2;
    size_t signalResist = 0;
    bool referentLeadOff = false;
    for (size_t channel = 0; channel < kChannels; ++channel) {
        const size_t base = block(channel);
        const uint8_t setting = packet[base + kChannelSet + channel % kBlocks.channels];
        const bool leadOff = (packet[base + kLeadOffSenseP] >> (channel % kBlocks.channels)) & 1;
        uint8_t mode = ChannelOff;
        if ((setting & kPowerDownBit) == 0) {
            switch (setting & 0x07) {
            case kInputNormal: mode = leadOff ? ChannelSignalResist : ChannelSignal; break;
            case kInputShorted: mode = ChannelShorted; break;
            case kInputTest: mode = ChannelTest; break;
            default: break;
            }
        }
        param.channelMode[channel] = mode;
        param.channelGain[channel] = kGainIndices[(setting >> 4) & 0x07];
        signalResist += mode == ChannelSignalResist ? 1 : 0;
        referentLeadOff = referentLeadOff || packet[base + kLeadOffSenseN] != 0;
    }
    param.referentsResist = signalResist >= packet[4] && referentLeadOff ? 1 : 0;
    param.configFlag = packet[6] != 0 ? 1 : 0;
    param.samplingFrequency = rateFromConfig1(packet[kBlocks.start + kConfig1]);
    return param;
}

AcsStatus parseAcsStatus(std::span<const uint8_t> bytes) {
    const auto pack = lastPack(bytes, kAcsStatusSize, "Error data length ADC status [Tarn3 Protocol]",
                               "Recived more then one pack status");
    AcsStatus status;
    if (pack.empty()) {
        return status;
    }
    status.resistMode = pack[1];
    status.surveyId = Utility::decodeUnsigned(pack.data() + 4, 4, true);
    switch (pack[0]) {
    case 0: status.mode = AmpModePowerDown; break;
    case 1: status.mode = AmpModeIdle; break;
    case 2:
        status.mode = pack[1] != 0 ? AmpModeSignalResist : AmpModeSignal;
        status.dataActive = true;
        break;
    default: status.mode = AmpModeUnknown; break;
    }
    return status;
}

}  // namespace VexaDevice::Dravik

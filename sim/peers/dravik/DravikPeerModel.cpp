#include "sim/peers/dravik/DravikPeerModel.hpp"

#include <algorithm>
#include <bit>

#include "sdk/core/ByteReaders.hpp"
#include "sim/peers/dravik/DravikPacketWriter.hpp"

namespace VexaSim {

namespace {

using VexaDevice::Utility::appendLittleEndian;
using VexaDevice::Utility::decodeUnsigned;

constexpr size_t kBlockStart = 8;
constexpr size_t kBlockSize = 24;
constexpr double kGainFactors[] = {1, 2, 4, 6, 8, 12, 24, 24};

}  // namespace

std::vector<uint8_t> dravikDefaultAdcConfig() {
    std::vector<uint8_t> config{2, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0};
    for (int block = 0; block < 3; ++block) {
        const std::vector<uint8_t> registers{0xD5, 0xD0, block == 0 ? uint8_t{0xEC} : uint8_t{0xE0},
                                             0x07, 0x60, 0x60,
                                             0x60, 0x60, 0x60,
                                             0x60, 0x60, 0x60,
                                             0,    0,    0,
                                             0,    0,    0,
                                             0,    0,    0,
                                             0,    0,    2};
        config.insert(config.end(), registers.begin(), registers.end());
    }
    return config;
}

DravikPeerModel::DravikPeerModel(DravikPeerSettings settings)
    : settings_(std::move(settings)),
      store_(settings_.fsState),
      adcConfig_(settings_.adcConfig.empty() ? dravikDefaultAdcConfig() : settings_.adcConfig) {}

std::vector<uint8_t> DravikPeerModel::statusValue() const {
    std::vector<uint8_t> value{state_, resistMode_, 0, 0};
    appendLittleEndian(value, surveyId_, 4);
    value.resize(20, 0);
    return value;
}

std::vector<uint8_t> DravikPeerModel::readStatus() {
    if (lagLeft_ > 0) {
        --lagLeft_;
        return lagging_;
    }
    return statusValue();
}

std::optional<std::vector<uint8_t>> DravikPeerModel::onCommand(const std::vector<uint8_t>& frame) {
    if (frame.empty() || silent_) {
        return std::nullopt;
    }
    if (ignoring_) {
        return statusValue();
    }
    if (modeLag_ > 0 && frame[0] != 0x06) {
        if (lagLeft_ == 0) {
            lagging_ = statusValue();
        }
        lagLeft_ = modeLag_;
    }
    switch (frame[0]) {
    case 0x01:
        state_ = 0;
        resistMode_ = 0;
        break;
    case 0x03:
        if (frame.size() >= 5) {
            surveyId_ = decodeUnsigned(frame.data() + 1, 4, true);
        }
        state_ = 2;
        break;
    case 0x05: resistMode_ = frame.size() >= 2 ? frame[1] : 0; break;
    case 0x06:
        if (frame.size() >= 2) {
            markers_.push_back(frame[1]);
            pendingMarker_ = frame[1];
        }
        return std::nullopt;
    default: return std::nullopt;
    }
    return lagLeft_ > 0 ? lagging_ : statusValue();
}

DravikPeerModel::Packs DravikPeerModel::nextPacks() {
    if (state_ != 2 || adcConfig_.size() < 80) {
        return {};
    }
    const uint32_t mask = decodeUnsigned(adcConfig_.data() + 1, 3, true);
    std::vector<DravikSampleSet> sets(std::max<uint8_t>(adcConfig_[0], 1));
    const uint32_t first = packNum_;
    for (auto& set : sets) {
        set.marker = pendingMarker_;
        pendingMarker_ = 0;
        for (uint32_t rest = mask; rest != 0; rest &= rest - 1) {
            const int channel = std::countr_zero(rest);
            const size_t block = kBlockStart + static_cast<size_t>(channel / 8) * kBlockSize;
            const double gain = kGainFactors[(adcConfig_[block + 4 + channel % 8] >> 4) & 7];
            const bool leadOff = (adcConfig_[block + 14] >> (channel % 8)) & 1;
            const double volts = resistMode_ != 0 && leadOff
                                     ? dravikLeadOffVolts(settings_.electrodeOhms[channel], packNum_, 0.4)
                                     : settings_.channelVolts[channel];
            set.samples.push_back(dravikCounts(volts, gain));
        }
        ++packNum_;
    }
    ++packetsSent_;
    auto packet = writeDravikPacket(first, resistMode_, mask, sets);
    store_.record(packet);
    return {std::move(packet)};
}

}  // namespace VexaSim

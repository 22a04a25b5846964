#include "sim/peers/morvexblack/MorvexBlackPeerModel.hpp"

namespace VexaSim {

MorvexBlackPeerModel::MorvexBlackPeerModel(MorvexBlackPeerSettings settings)
    : settings_(std::move(settings)),
      device_(settings_.mode, settings_.hasMotion, settings_.hasFpg, settings_.resistanceOhms) {}

std::vector<std::vector<uint8_t>> MorvexBlackPeerModel::onCommand(const std::vector<uint8_t>& frame) {
    if (silent_ || frame.empty() || takeStreamFrame(frame)) return {};
    std::vector<std::vector<uint8_t>> statuses;
    if (staleFirst_) statuses.push_back(statusValue());
    error_ = resultOf(frame[0], Accepted, [&] { return device_.carryOutMode(frame); });
    statuses.push_back(statusValue());
    return statuses;
}

// The ping and the stream frames are taken without an answer.
bool MorvexBlackPeerModel::takeStreamFrame(const std::vector<uint8_t>& frame) {
    if (frame[0] == 0x06 && frame.size() == 2) {
        pings_.push_back(frame);
        return true;
    }
    return device_.takeStreamFrame(frame);
}

std::vector<uint8_t> MorvexBlackPeerModel::statusValue() const {
    return {device_.mode(), error_, settings_.battery, 0};
}

}  // namespace VexaSim

#include "sim/peers/lorrel/LorrelPeerModel.hpp"

namespace VexaSim {

namespace {

constexpr uint8_t PingFrame = 0x06;

}  // namespace

LorrelPeerModel::LorrelPeerModel(LorrelPeerSettings settings)
    : settings_(std::move(settings)),
      device_(settings_.mode, settings_.hasMotion, settings_.hasFpg, settings_.resistanceOhms) {}

std::optional<std::vector<uint8_t>> LorrelPeerModel::onCommand(const std::vector<uint8_t>& frame) {
    if (silent_) return std::nullopt;
    if (frame.size() == 2 && frame[0] == PingFrame) {
        pings_.push_back(frame);
        return std::nullopt;
    }
    answered_ = frame.empty() ? 0 : frame[0];
    error_ = resultOf(answered_, HeadbandDevice::Accepted, [&] { return carryOut(frame); });
    return statusValue();
}

uint8_t LorrelPeerModel::carryOut(const std::vector<uint8_t>& frame) {
    if (device_.takeStreamFrame(frame)) return HeadbandDevice::Accepted;
    return device_.carryOutMode(frame);
}

std::vector<uint8_t> LorrelPeerModel::statusValue() const {
    return {settings_.battery, error_, device_.mode(), answered_};
}

}  // namespace VexaSim

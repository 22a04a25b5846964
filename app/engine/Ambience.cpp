#include "app/engine/Ambience.hpp"

#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace quellwave {
namespace {

constexpr std::array<AmbienceEvent, 2> kPreset4{
    {{0.5, AmbienceKind::Phase, 0.3}, {0.85, AmbienceKind::NoiseBurst, 0.3}}};
constexpr std::array<AmbienceEvent, 2> kPreset6{
    {{0.3, AmbienceKind::Phase, 0.3}, {0.65, AmbienceKind::NoiseBurst, 0.3}}};
constexpr std::array<AmbienceEvent, 2> kPreset16{{{0.2, AmbienceKind::Phase, 0.2}, {0.6, AmbienceKind::Phase, 0.2}}};

}  // namespace

std::span<const AmbienceEvent> ambiencePreset(std::uint32_t preset) {
    switch (preset) {
    case 4: return kPreset4;
    case 6: return kPreset6;
    case 16: return kPreset16;
    default: throw std::invalid_argument("Unknown ambience preset " + std::to_string(preset));
    }
}

void AmbienceSequencer::applyPreset(std::uint32_t preset) {
    events_ = ambiencePreset(preset);
    next_ = 0;
}

const AmbienceEvent* AmbienceSequencer::run(double fraction) {
    if (next_ >= events_.size() || events_[next_].position > fraction) return nullptr;
    return &events_[next_++];
}

void NoiseBurst::fire(double left, double right) {
    left_ = left;
    right_ = right;
    framesLeft_ = kFrames;
}

void NoiseBurst::addShare(double& left, double& right) {
    const double envelope = std::sin(framesLeft_ * std::numbers::pi / kFrames);
    left += envelope * left_;
    right += envelope * right_;
    --framesLeft_;
}

}  // namespace quellwave

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "app/engine/Noise.hpp"
#include "app/engine/PhaseSine.hpp"

namespace quellwave {

// The random values of a run of frames, drawn in one pass from the engine's one random source in
// the order in which the frames take them: per frame the frequency jitter, a pink sample for the
// left and then the right ear, a brown step and a white difference for the texture layer.
class FrameNoise {
public:
    static constexpr std::size_t kMaxFrames = 256;

    explicit FrameNoise(std::uint32_t seed) : random_(seed) {}

    // Draws the values of the next count frames (at most kMaxFrames), slot 0 first.
    void draw(std::size_t count);

    // A pink sample for each ear drawn between two frames (the loudness of a noise burst).
    DoublePair pinkPair();

    const double* jitters() const { return jitter_.data(); }  // white, in [-1, 1), from slot 0
    DoublePair pink(std::size_t slot) const { return DoublePair{pink_[2 * slot], pink_[2 * slot + 1]}; }  // left, right
    const double* pinkLanes() const { return pink_.data(); }    // left, right, left, right, ... from slot 0
    const double* textures() const { return texture_.data(); }  // brown plus white difference, from slot 0

private:
    static constexpr std::size_t kWhitesPerFrame = 5;

    UniformSource random_;
    PinkFilter<DoublePair> pinkFilter_;
    double brown_ = 0.0;
    WhiteDifferenceNoise whiteDifference_;
    std::array<double, kMaxFrames * kWhitesPerFrame> whites_{};
    std::array<double, kMaxFrames> jitter_{};
    std::array<double, 2 * kMaxFrames> pink_{};
    std::array<double, kMaxFrames> texture_{};
};

}  // namespace quellwave

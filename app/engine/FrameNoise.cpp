#include "app/engine/FrameNoise.hpp"

#include <span>

namespace quellwave {

DoublePair FrameNoise::pinkPair() {
    const double left = random_.nextWhite();
    const double right = random_.nextWhite();
    return pinkFilter_.next(DoublePair{left, right});
}

void FrameNoise::draw(std::size_t count) {
    random_.fillWhite(std::span(whites_).first(count * kWhitesPerFrame));
    // The filters work on copies over the run, which stay in registers: the stores of the run's
    // values could otherwise overwrite them, and each frame would wait for the last one's state
    // to go through memory.
    PinkFilter<DoublePair> pinkFilter = pinkFilter_;
    double brown = brown_;
    WhiteDifferenceNoise whiteDifference = whiteDifference_;
    for (std::size_t i = 0; i < count; ++i) {
        const double* white = &whites_[i * kWhitesPerFrame];
        jitter_[i] = white[0];
        const DoublePair pink = pinkFilter.next(DoublePair{white[1], white[2]});
        pink_[2 * i] = pink[0];
        pink_[2 * i + 1] = pink[1];
        texture_[i] = nextBrownNoise(brown, white[3]) + whiteDifference.next(white[4]);
    }
    pinkFilter_ = pinkFilter;
    brown_ = brown;
    whiteDifference_ = whiteDifference;
}

}  // namespace quellwave

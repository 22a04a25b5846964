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
    for (std::size_t i = 0; i < count; ++i) {
        const double* white = &whites_[i * kWhitesPerFrame];
        jitter_[i] = white[0];
        const DoublePair pink = pinkFilter_.next(DoublePair{white[1], white[2]});
        pink_[2 * i] = pink[0];
        pink_[2 * i + 1] = pink[1];
        texture_[i] = nextBrownNoise(brown_, white[3]) + whiteDifference_.next(white[4]);
    }
}

}  // namespace quellwave

#include "app/engine/FrameNoise.hpp"

namespace quellwave {

DoublePair FrameNoise::pinkPair() {
    const double left = random_.nextWhite();
    const double right = random_.nextWhite();
    return pinkFilter_.next(DoublePair{left, right});
}

void FrameNoise::draw(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        jitter_[i] = random_.nextWhite();
        pink_[i] = pinkPair();
        texture_[i] = nextBrownNoise(brown_, random_) + whiteDifference_.next(random_);
    }
}

}  // namespace quellwave

#include "app/engine/Noise.hpp"

#include <algorithm>

namespace quellwave {

double nextPinkNoise(PinkNoiseState& state, UniformSource& source) {
    const double w = source.nextWhite();
    auto& b = state.poles;
    b[0] = 0.99886 * b[0] + 0.0555179 * w;
    b[1] = 0.99332 * b[1] + 0.0750759 * w;
    b[2] = 0.969 * b[2] + 0.153852 * w;
    b[3] = 0.8665 * b[3] + 0.3104856 * w;
    b[4] = 0.55 * b[4] + 0.5329522 * w;
    return 0.05 * (b[0] + b[1] + b[2] + b[3] + b[4] + 0.2685819 * w);
}

double nextBrownNoise(double& state, UniformSource& source) {
    state = std::clamp(state + 0.02 * source.nextWhite(), -1.0, 1.0);
    return state;
}

}  // namespace quellwave

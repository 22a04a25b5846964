#pragma once

#include <cstdlib>
#include <functional>

namespace quellwave::ui {

// The pseudo-random integers behind the star field, the sparks and the orbiters: the C
// generator that start-up seeds, unless a test scripts its own draws.
struct RandomSource {
    std::function<int()> draw = [] { return std::rand(); };
    int max = RAND_MAX;

    int next() const { return draw(); }
    // A draw scaled to [0, 1].
    double unit() const { return static_cast<double>(draw()) / static_cast<double>(max); }
};

}  // namespace quellwave::ui

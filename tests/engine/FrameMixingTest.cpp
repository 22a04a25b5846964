// The mix of a run's frames, lane by lane, against the same operations on one double at a time:
// every sample must be equal to the last bit, on the four-lane path the machine picks and on the
// two-lane one, for every mode and with runs of odd lengths.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "app/engine/FrameMixing.hpp"
#include "app/engine/PhaseSine.hpp"
#include "app/engine/WideLanes.hpp"
#include "tests/engine/KeptLanes.hpp"

namespace quellwave {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

struct Inputs {
    RunLanes lanes;
    std::array<double, RunLanes::kSize> pink{};
};

std::unique_ptr<Inputs> randomInputs(std::uint32_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> phase(0.0, kTwoPi);
    std::uniform_real_distribution<double> near1(0.8, 1.2);
    std::uniform_real_distribution<double> small(-0.3, 0.3);
    auto inputs = std::make_unique<Inputs>();
    RunLanes& l = inputs->lanes;
    for (std::size_t i = 0; i < RunLanes::kSize; ++i) {
        l.tonePhase[i] = phase(random);
        l.gatePhase[i] = phase(random);
        l.overlayPhase[i] = phase(random);
        l.overlayTonePhase[i] = phase(random);
        l.swell[i] = near1(random);
        l.companion[i] = small(random);
        l.flutter[i] = near1(random);
        l.tremolo[i] = near1(random);
        l.pan[i] = near1(random);
        l.texture[i] = small(random);
        inputs->pink[i] = small(random);
    }
    // Phases on the folds and at the ends of the turn.
    const double edges[] = {0.0, std::numbers::pi / 2, std::numbers::pi, 3 * std::numbers::pi / 2,
                            std::nextafter(kTwoPi, 0.0)};
    for (std::size_t k = 0; k < std::size(edges); ++k) {
        l.tonePhase[k] = edges[k];
        l.gatePhase[k + 1] = edges[k];
        l.overlayPhase[k + 2] = edges[k];
        l.overlayTonePhase[k + 3] = edges[k];
    }
    return inputs;
}

// One sample as the engine computed it frame by frame, one double at a time.
double scalarSample(const Inputs& in, const MixSettings& s, std::size_t i) {
    const RunLanes& l = in.lanes;
    const double sine = sineOfPhase(l.tonePhase[i]);
    const double cosine = cosineOfPhase(l.tonePhase[i]);
    const double tones = (sine + s.harmonicWeight * sine * cosine) * l.swell[i];
    const auto gate = [&] {
        const double g = sineOfPhase(l.gatePhase[i]);
        return g < s.gateThreshold ? (g + 1.0) / 2.0 : 1.0;
    };
    double out;
    if (s.mode == 16) {
        out = gate() * (tones * s.toneLevel + in.pink[i] * s.noiseLevel) + l.companion[i] +
              0.6 * sineOfPhase(l.overlayPhase[i]);
        out *= l.flutter[i];
    } else {
        out = tones * s.toneLevel + in.pink[i] * s.noiseLevel;
        if (s.mode == 6) out *= gate();
    }
    if (s.overlayTone) out += 0.3 * sineOfPhase(l.overlayTonePhase[i]);
    if (s.tremolo) out *= l.tremolo[i];
    if (s.pan) out *= l.pan[i];
    out += l.texture[i];
    if (s.volume) out *= s.volumeScale;
    return out;
}

std::vector<MixSettings> everyForm() {
    std::vector<MixSettings> forms;
    for (const std::uint32_t mode : {4u, 6u, 16u}) {
        for (int flags = 0; flags < 16; ++flags) {
            MixSettings s;
            s.mode = mode;
            s.harmonicWeight = 0.25 * 2.0;
            s.toneLevel = 0.7;
            s.noiseLevel = 0.3;
            s.gateThreshold = 1.0 - 2.0 * 0.6;
            s.overlayTone = (flags & 1) != 0;
            s.tremolo = (flags & 2) != 0;
            s.pan = (flags & 4) != 0;
            s.volume = (flags & 8) != 0;
            s.volumeScale = 0.37;
            forms.push_back(s);
        }
    }
    return forms;
}

TEST(FrameMixing, EverySampleEqualsTheOneDoubleOperationsOnEveryLaneWidth) {
    const auto inputs = randomInputs(7);
    // Runs that start and end on odd frames and at every frame of a group of four, a single frame,
    // a whole run.
    const std::size_t spans[][2] = {{0, 1}, {0, 7}, {3, 10}, {1, 4}, {2, 13}, {5, 256}, {0, 256}};
    std::vector<double> mixed(RunLanes::kSize);
    for (const testing::LaneWidth& width : testing::kLaneWidths) {
        const testing::KeptLanes kept(width);
        for (const MixSettings& s : everyForm()) {
            for (const auto& span : spans) {
                std::fill(mixed.begin(), mixed.end(), -7.0);
                mixRun(inputs->lanes, inputs->pink.data(), s, span[0], span[1], mixed.data());
                for (std::size_t i = 0; i < RunLanes::kSize; ++i) {
                    const bool inside = i >= 2 * span[0] && i < 2 * span[1];
                    const double expected = inside ? scalarSample(*inputs, s, i) : -7.0;
                    ASSERT_EQ(std::memcmp(&mixed[i], &expected, sizeof expected), 0)
                        << "mode " << s.mode << " lane " << i << " (" << width.name << "): " << mixed[i] << " against "
                        << expected;
                }
            }
        }
    }
    if (!wideLanes()) GTEST_SKIP() << "no four-lane instructions here: only the two-lane path was checked";
}

}  // namespace
}  // namespace quellwave

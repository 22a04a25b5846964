// The frame walk against the same operations done one frame at a time, as the engine did before
// it took several frames at once: every lane and every phase must be equal to the last bit, on
// every lane width, for every mode and form, over runs of every length left over by four frames,
// and with phases that a step carries out of [0, 2 pi) both ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "app/engine/FrameWalk.hpp"
#include "app/engine/PhaseSine.hpp"
#include "tests/engine/KeptLanes.hpp"

namespace quellwave {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr std::size_t kFrames = FrameWalk::kMaxFrames;

using Frames = std::array<double, kFrames>;

// One run's inputs, random within what the engine gives, with a few frames far outside it.
struct RunInputs {
    StageFrames points;
    Frames sweeps{};
    Frames jitter{};
    Frames overlayOffsets{};
    std::array<Frames, 5> sines{};  // vibrato, swell, flutter, overlay vibrato, pan
    bool sweeping = false;

    WalkInputs view() const {
        WalkInputs inputs;
        inputs.points = &points;
        inputs.sweeps = sweeping ? sweeps.data() : nullptr;
        inputs.jitter = jitter.data();
        inputs.overlayOffsets = overlayOffsets.data();
        inputs.vibrato = sines[0].data();
        inputs.swell = sines[1].data();
        inputs.flutter = sines[2].data();
        inputs.overlayVibrato = sines[3].data();
        inputs.pan = sines[4].data();
        return inputs;
    }
};

std::unique_ptr<RunInputs> randomRun(std::mt19937_64& random, std::size_t count) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_real_distribution<double> carrier(40.0, 400.0);
    std::uniform_real_distribution<double> beat(0.5, 40.0);
    std::uniform_real_distribution<double> progress(0.2, 0.35);  // around the flutter window
    std::uniform_int_distribution<int> oddity(0, 40);
    auto run = std::make_unique<RunInputs>();
    run->sweeping = oddity(random) % 2 == 0;
    for (std::size_t slot = 0; slot < count; ++slot) {
        run->points.carrier[slot] = carrier(random);
        run->points.beat[slot] = beat(random);
        run->points.progress[slot] = progress(random);
        run->points.phaseFactor[slot] = 0.15 + 0.15 * unit(random);
        switch (oddity(random)) {
        case 0: run->points.beat[slot] = 0.0; break;                  // no beat: the pulse and gate rates stand in
        case 1: run->points.carrier[slot] = -carrier(random); break;  // phases fall below 0
        case 2: run->points.carrier[slot] = 150000.0; break;          // a step past a whole turn
        default: break;
        }
        run->sweeps[slot] = 0.1 * std::floor(10.0 * unit(random));
        run->jitter[slot] = unit(random);
        run->overlayOffsets[slot] = 40.0 * unit(random);
        for (Frames& sine : run->sines) sine[slot] = unit(random);
    }
    return run;
}

void advance(double& phase, double step) {
    phase += step;
    if (phase >= kTwoPi) phase -= kTwoPi;
}

void setPair(std::array<double, RunLanes::kSize>& lanes, std::size_t slot, double left, double right) {
    lanes[2 * slot] = left;
    lanes[2 * slot + 1] = right;
}

// One frame, the way one frame alone is worked out.
void walkOneFrame(const WalkSettings& s, const WalkInputs& in, std::size_t slot, WalkPhases& p, RunLanes& lanes) {
    const double r = s.radiansPerHz;
    const double carrier = in.points->carrier[slot];
    const double sweep = in.sweeps != nullptr ? in.sweeps[slot] : 0.0;
    const double beat = in.points->beat[slot] + sweep;
    const double left = carrier;
    const double right = carrier + beat;
    const double jitter = in.jitter[slot] * s.jitterLevel;
    const double frequencyLeft = left + jitter;
    const double frequencyRight = right + jitter;
    if (s.shaped) {
        const double factor = in.points->phaseFactor[slot];
        advance(p.left, r * frequencyLeft);
        advance(p.right, r * frequencyRight);
        advance(p.left, r * frequencyLeft * factor);
        advance(p.right, r * frequencyRight * factor);
    }
    const double vibrato = s.vibratoDepth * in.vibrato[slot];
    advance(p.left, r * (frequencyLeft + vibrato));
    advance(p.right, r * (frequencyRight + vibrato));
    setPair(lanes.tonePhase, slot, wrapPhase(p.left), wrapPhase(p.right));
    const double swell = s.mode == 6 ? 1.0 : 1.0 + 0.1 * in.swell[slot];
    setPair(lanes.swell, slot, swell, swell);

    double pulseHz = std::fabs(right - left);
    if (pulseHz < 0.001) pulseHz = 1.0;
    p.pulse += r * pulseHz;
    if (p.pulse > kTwoPi) p.pulse -= kTwoPi;
    if (s.mode == 6) setPair(lanes.gatePhase, slot, wrapPhase(p.pulse), wrapPhase(p.pulse));

    const double overlayFrequency = carrier + in.overlayOffsets[slot];
    if (s.mode == 16) {
        double gateHz = std::fabs(right - left);
        if (gateHz < 0.001) gateHz = 6.0;
        if (s.firstStage) gateHz = std::min(gateHz, s.gateCeiling);
        advance(p.gate, r * gateHz);
        setPair(lanes.gatePhase, slot, wrapPhase(p.gate), wrapPhase(p.gate));
        advance(p.overlayA, r * carrier);
        advance(p.overlayB, r * overlayFrequency);
        setPair(lanes.overlayPhase, slot, wrapPhase(p.overlayA), wrapPhase(p.overlayB));
        const double progress = in.points->progress[slot];
        const bool flutters = s.mayFlutter && progress > 0.25 && progress < 0.3;
        const double flutter = flutters ? 1.0 + 0.1 * progress * in.flutter[slot] : 1.0;
        setPair(lanes.flutter, slot, flutter, flutter);
    }
    if (s.overlayTone) {
        advance(p.overlayA, r * carrier);
        advance(p.overlayB, r * (overlayFrequency + s.overlayVibratoDepth * in.overlayVibrato[slot]));
        setPair(lanes.overlayTonePhase, slot, wrapPhase(p.overlayA), wrapPhase(p.overlayB));
    }
    if (s.pan) setPair(lanes.pan, slot, 1.0 + 0.1 * in.pan[slot], 1.0 - 0.1 * in.pan[slot]);
}

// The lanes that the settings have the walk write.
std::vector<std::pair<std::string, const std::array<double, RunLanes::kSize>*>> writtenLanes(const WalkSettings& s,
                                                                                             const RunLanes& lanes) {
    std::vector<std::pair<std::string, const std::array<double, RunLanes::kSize>*>> written{{"tone", &lanes.tonePhase},
                                                                                            {"swell", &lanes.swell}};
    if (s.mode != 4) written.emplace_back("gate", &lanes.gatePhase);
    if (s.mode == 16) {
        written.emplace_back("overlay", &lanes.overlayPhase);
        written.emplace_back("flutter", &lanes.flutter);
    }
    if (s.overlayTone) written.emplace_back("overlay tone", &lanes.overlayTonePhase);
    if (s.pan) written.emplace_back("pan", &lanes.pan);
    return written;
}

void expectSamePhases(const WalkPhases& walked, const WalkPhases& expected) {
    EXPECT_EQ(walked.left, expected.left);
    EXPECT_EQ(walked.right, expected.right);
    EXPECT_EQ(walked.pulse, expected.pulse);
    EXPECT_EQ(walked.gate, expected.gate);
    EXPECT_EQ(walked.overlayA, expected.overlayA);
    EXPECT_EQ(walked.overlayB, expected.overlayB);
}

TEST(FrameWalk, EveryLaneAndPhaseIsTheOneFrameByFrameValueOnEveryLaneWidth) {
    const std::vector<std::size_t> runLengths{1, 2, 3, 4, 5, 6, 7, 9, 255, 256, 13, 250};
    for (const auto& width : testing::kLaneWidths) {
        for (const std::uint32_t mode : {4u, 6u, 16u}) {
            for (int form = 0; form < 8; ++form) {
                WalkSettings settings;
                settings.mode = mode;
                settings.radiansPerHz = kTwoPi / 48000.0;
                settings.jitterLevel = 0.03;
                settings.shaped = (form & 1) != 0;
                settings.overlayTone = (form & 2) != 0;
                settings.pan = (form & 4) != 0;
                settings.vibratoDepth = 1.0;
                settings.overlayVibratoDepth = 0.1;
                settings.firstStage = form % 3 == 0;
                settings.gateCeiling = 6.5;
                settings.mayFlutter = form % 3 == 1;
                SCOPED_TRACE(std::string(width.name) + ", mode " + std::to_string(mode) + ", form " +
                             std::to_string(form));

                std::mt19937_64 random(1000 * mode + form);
                auto walker = std::make_unique<FrameWalk>();
                auto walkedLanes = std::make_unique<RunLanes>();
                auto expectedLanes = std::make_unique<RunLanes>();
                WalkPhases walked{0.1, 6.2, 3.0, 0.0, 1.0, 2.0};
                WalkPhases expected = walked;
                for (const std::size_t count : runLengths) {
                    const auto run = randomRun(random, count);
                    const WalkInputs inputs = run->view();
                    {
                        const testing::KeptLanes kept(width);
                        walker->walk(count, settings, inputs, walked, *walkedLanes);
                    }
                    for (std::size_t slot = 0; slot < count; ++slot)
                        walkOneFrame(settings, inputs, slot, expected, *expectedLanes);
                    const auto got = writtenLanes(settings, *walkedLanes);
                    const auto want = writtenLanes(settings, *expectedLanes);
                    for (std::size_t lane = 0; lane < got.size(); ++lane) {
                        for (std::size_t i = 0; i < 2 * count; ++i)
                            ASSERT_EQ((*got[lane].second)[i], (*want[lane].second)[i])
                                << got[lane].first << " lane " << i << " of a run of " << count;
                    }
                    expectSamePhases(walked, expected);
                }
            }
        }
    }
}

}  // namespace
}  // namespace quellwave

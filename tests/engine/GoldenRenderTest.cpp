// Whole short sessions of every experience rendered at 48 kHz and pinned by a hash of every
// output sample: stage changes, beat sweeps, ambience events, noise bursts and (in the deep
// experiences) affirmation clips coming and going. Any change to what the engine computes,
// however small, changes a hash; speed work on the engine must leave them all as they are.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "app/engine/ExperienceEngine.hpp"
#include "app/engine/ExperiencePrograms.hpp"
#include "app/engine/WideLanes.hpp"
#include "tests/engine/KeptLanes.hpp"
#include "tests/engine/ScriptedClips.hpp"

namespace quellwave {
namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint32_t kSeed = 20240611;
constexpr int kMinutes = 1;
// A little past the session's end, so that the last stage's second half is heard too.
constexpr int kBlocks = static_cast<int>(62.0 * kRate / ExperienceEngine::kBlockFrames);

// FNV-1a over the samples' bytes, little end first.
std::uint64_t renderHash(double code) {
    // A clip on every fifth trigger, sounding for six blocks.
    ExperienceEngine engine(kRate, std::make_unique<testing::ScriptedClips>(5, 6), kSeed);
    engine.startSynthesis();
    configureExperience(engine, code, kMinutes);
    std::vector<std::int16_t> block(ExperienceEngine::kBlockSamples);
    std::uint64_t hash = 1469598103934665603ULL;
    for (int b = 0; b < kBlocks; ++b) {
        engine.setVolume(b < 20 ? 5.0 * b : 100.0);  // a fade-in, as the program makes
        engine.generateBlock(std::span<std::int16_t, ExperienceEngine::kBlockSamples>(block));
        for (const std::int16_t sample : block) {
            const auto bits = static_cast<std::uint16_t>(sample);
            hash = (hash ^ (bits & 0xFF)) * 1099511628211ULL;
            hash = (hash ^ (bits >> 8)) * 1099511628211ULL;
        }
    }
    return hash;
}

struct Golden {
    double code;
    std::uint64_t hash;
};

void PrintTo(const Golden& golden, std::ostream* out) { *out << "experience " << golden.code; }

class GoldenRender : public ::testing::TestWithParam<Golden> {};

TEST_P(GoldenRender, EveryOutputSampleIsAsPinned) {
    const Golden golden = GetParam();
    const std::uint64_t hash = renderHash(golden.code);
    char text[32];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(hash));
    EXPECT_EQ(hash, golden.hash) << "experience " << golden.code << " now renders as " << text;
}

// The same render with the noise and the mix kept on two lanes at a time, where the machine
// would take four.
TEST_P(GoldenRender, NarrowLanesRenderEverySampleAsPinned) {
    const testing::KeptLanes kept(testing::kTwoLanes);
    const Golden golden = GetParam();
    EXPECT_EQ(renderHash(golden.code), golden.hash) << "experience " << golden.code;
}

// The same render with the random words and the mix kept at four doubles at a time, where the
// machine would take eight.
TEST_P(GoldenRender, FourLanesRenderEverySampleAsPinned) {
    if (!widestLanes()) GTEST_SKIP() << "no eight-lane instructions here: the machine's render covers four lanes";
    const testing::KeptLanes kept(testing::kFourLanesAtMost);
    const Golden golden = GetParam();
    EXPECT_EQ(renderHash(golden.code), golden.hash) << "experience " << golden.code;
}

INSTANTIATE_TEST_SUITE_P(Experiences, GoldenRender,
                         ::testing::Values(Golden{4.0, 0xd0a349f87ffd23faULL}, Golden{4.1, 0xc43fc88b380f411eULL},
                                           Golden{9.0, 0xb09ca45acdb61483ULL}, Golden{12.0, 0xf8ec0db859aee625ULL},
                                           Golden{20.0, 0x1b59e07a3df9ff85ULL}));

}  // namespace
}  // namespace quellwave

// The session fade of a run against the same operations done one frame at a time: every tremolo
// and texture lane must be equal to the last bit, on every lane width, in a middle stage and in
// the last one (whose second half rises back), with and without the tremolo and its fade.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "app/engine/SessionFade.hpp"
#include "tests/engine/KeptLanes.hpp"

namespace quellwave {
namespace {

constexpr std::size_t kFrames = SessionFade::kMaxFrames;
using Frames = std::array<double, kFrames>;

// The weights of one frame, the way one frame alone works them out.
std::pair<double, double> weightsOf(std::int32_t index, std::int32_t count, double progress) {
    const auto fall = [&](double position) {
        const double u = std::exp(-position / count);
        return std::pair{u * u * u, u * u};
    };
    if (index + 1 < count || progress <= 0.5) return fall(index + progress);
    const auto [tremolo, texture] = fall(count - 1.0);
    const double rise = 2.0 * (progress - 0.5);
    return {tremolo + (1.0 - tremolo) * rise, texture + (1.0 - texture) * rise};
}

TEST(SessionFade, EveryLaneIsTheOneFrameByFrameValueOnEveryLaneWidth) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    Frames progress{};
    Frames tremoloSine{};
    Frames texture{};
    for (const auto& width : testing::kLaneWidths) {
        for (const std::int32_t index : {2, 4}) {  // of five stages: a middle one and the last
            for (int form = 0; form < 4; ++form) {
                FadeSettings settings;
                settings.tremolo = (form & 1) != 0;
                settings.tremoloDepth = 0.5;
                settings.shaped = (form & 2) != 0;
                SCOPED_TRACE(std::string(width.name) + ", stage " + std::to_string(index) + ", form " +
                             std::to_string(form));
                SessionFade fade;
                auto lanes = std::make_unique<RunLanes>();
                double reached = 0.0;
                for (const std::size_t count : {1, 3, 256, 2, 5, 7, 4, 250}) {
                    // Progress moves on through the stage over the runs and past its half.
                    for (std::size_t slot = 0; slot < count; ++slot) {
                        reached = std::min(1.0, reached + 0.6 / 256.0);
                        progress[slot] = reached;
                        tremoloSine[slot] = unit(random);
                        texture[slot] = unit(random);
                    }
                    fade.enterStage(index, 5);
                    {
                        const testing::KeptLanes kept(width);
                        fade.writeLanes(count, settings, {progress.data(), tremoloSine.data(), texture.data()}, *lanes);
                    }
                    for (std::size_t slot = 0; slot < count; ++slot) {
                        const auto [tremoloWeight, textureWeight] = weightsOf(index, 5, progress[slot]);
                        const double layer = texture[slot] * 0.1 * 0.5 * textureWeight;
                        ASSERT_EQ(lanes->texture[2 * slot], layer) << slot << " of " << count;
                        ASSERT_EQ(lanes->texture[2 * slot + 1], layer) << slot << " of " << count;
                        if (!settings.tremolo) continue;
                        const double weight = settings.shaped ? tremoloWeight : 1.0;
                        const double factor = 1.0 + settings.tremoloDepth * weight * tremoloSine[slot];
                        ASSERT_EQ(lanes->tremolo[2 * slot], factor) << slot << " of " << count;
                        ASSERT_EQ(lanes->tremolo[2 * slot + 1], factor) << slot << " of " << count;
                    }
                }
                EXPECT_GT(reached, 0.5);
            }
        }
    }
}

}  // namespace
}  // namespace quellwave

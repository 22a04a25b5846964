#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/engine/ExperienceEngine.hpp"
#include "app/engine/ExperiencePrograms.hpp"
#include "tests/engine/EngineFixtures.hpp"

namespace quellwave {
namespace {

// The audio thread synthesises blocks while the UI thread sets and reads the stream's
// parameters, all through the global audio mutex.
TEST(ExperienceEngineThreads, SettersAndGettersRaceWithBlockSynthesis) {
    ExperienceEngine engine(4000, nullptr, 6);
    engine.startSynthesis();
    configureExperience(engine, 4.0, 30);
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        bool running = true;
        while (running) {
            testing::nextBlock(engine, &running);
            ++blocks;
        }
    });
    double volume = 0.0;
    while (blocks.load() < 20) {
        engine.setVolume(volume);
        volume = volume >= 60.0 ? 0.0 : volume + 0.5;
        engine.setHarmonicLevel(volume / 60.0);
        EXPECT_GE(engine.getRightFrequency(), engine.getLeftFrequency());
        EXPECT_EQ(engine.getStageCount(), 9);
        const StageProgress progress = engine.getStageProgress();
        EXPECT_GE(progress.frameCounter, progress.stageBeginFrame);
        EXPECT_GT(engine.getStageBeat(progress.stageIndex), 0.0);
    }
    engine.requestStop();
    audio.join();
    EXPECT_GE(blocks.load(), 21);
}

}  // namespace
}  // namespace quellwave

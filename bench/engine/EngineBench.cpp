// Whole sessions of every experience, as a listener hears them: a 30-minute session (the
// shortest the program offers) from its first block to its last, with its stage changes, beat
// sweeps, ambience events and noise bursts, and in the deep experiences affirmation clips of
// about four seconds each. Reported at 48, 96 and 192 kHz:
// - realtime: seconds of sound made per second of one core, over the whole session;
// - worst_block_realtime: the same for the slowest single block (what the audio thread must
//   never fall behind on), and worst_block_us beside typical_block_us.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <span>
#include <vector>

#include "app/engine/ExperienceEngine.hpp"
#include "app/engine/ExperiencePrograms.hpp"
#include "tests/engine/ScriptedClips.hpp"

namespace {

using quellwave::ExperienceEngine;

constexpr int kSessionMinutes = 30;

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void wholeSession(benchmark::State& state, double code) {
    const auto rate = static_cast<std::uint32_t>(state.range(0));
    const double blockSeconds = static_cast<double>(ExperienceEngine::kBlockFrames) / rate;
    const auto blocks = static_cast<std::size_t>(kSessionMinutes * 60.0 / blockSeconds) + 1;
    std::vector<double> blockCpu;
    blockCpu.reserve(blocks);
    double sessionCpu = 0.0;
    for (auto _ : state) {
        // A clip of about four seconds every four seconds of triggers (one each quarter second).
        const auto blocksPerClip = static_cast<std::uint32_t>(4 * rate / ExperienceEngine::kBlockFrames);
        ExperienceEngine engine(rate, std::make_unique<quellwave::testing::ScriptedClips>(16, blocksPerClip), 12345);
        engine.startSynthesis();
        quellwave::configureExperience(engine, code, kSessionMinutes);
        engine.setVolume(60.0);
        std::array<std::int16_t, ExperienceEngine::kBlockSamples> block{};
        blockCpu.clear();
        for (std::size_t b = 0; b < blocks; ++b) {
            const double before = threadSeconds();
            engine.generateBlock(block);
            benchmark::DoNotOptimize(block.data());
            blockCpu.push_back(threadSeconds() - before);
        }
        for (const double seconds : blockCpu) sessionCpu += seconds;
    }
    std::sort(blockCpu.begin(), blockCpu.end());
    const double iterations = static_cast<double>(state.iterations());
    state.counters["realtime"] = iterations * static_cast<double>(blocks) * blockSeconds / sessionCpu;
    state.counters["typical_block_us"] = blockCpu[blockCpu.size() / 2] * 1e6;
    state.counters["worst_block_us"] = blockCpu.back() * 1e6;
    state.counters["worst_block_realtime"] = blockSeconds / blockCpu.back();
}

void rates(benchmark::internal::Benchmark* bench) {
    bench->ArgName("rate")->Arg(48000)->Arg(96000)->Arg(192000)->Iterations(1)->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(wholeSession, OutOfPhysicalRealm, 4.0)->Apply(rates);
BENCHMARK_CAPTURE(wholeSession, LucidDream, 4.1)->Apply(rates);
BENCHMARK_CAPTURE(wholeSession, ArtAndCreativity, 9.0)->Apply(rates);
BENCHMARK_CAPTURE(wholeSession, LightRelaxation, 12.0)->Apply(rates);
BENCHMARK_CAPTURE(wholeSession, PositiveEmotions, 20.0)->Apply(rates);

}  // namespace

BENCHMARK_MAIN();

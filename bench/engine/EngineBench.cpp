// Blocks synthesised per second for each experience at 48, 96 and 192 kHz, with the
// "realtime" counter giving seconds of sound made per second of one core.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <span>

#include "app/engine/ExperienceEngine.hpp"
#include "app/engine/ExperiencePrograms.hpp"

namespace {

using quellwave::ExperienceEngine;

void synthesiseBlocks(benchmark::State& state, double code) {
    const auto rate = static_cast<std::uint32_t>(state.range(0));
    ExperienceEngine engine(rate, nullptr, 12345);
    engine.startSynthesis();
    quellwave::configureExperience(engine, code, 60);
    engine.setVolume(60.0);
    std::array<std::int16_t, ExperienceEngine::kBlockSamples> block{};
    for (auto _ : state) {
        engine.generateBlock(block);
        benchmark::DoNotOptimize(block.data());
    }
    const double blocks = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
    state.counters["realtime"] = benchmark::Counter(
        blocks * ExperienceEngine::kBlockFrames / rate, benchmark::Counter::kIsRate);
}

void rates(benchmark::internal::Benchmark* bench) {
    bench->Arg(48000)->Arg(96000)->Arg(192000)->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(synthesiseBlocks, OutOfPhysicalRealm, 4.0)->Apply(rates);
BENCHMARK_CAPTURE(synthesiseBlocks, LucidDream, 4.1)->Apply(rates);
BENCHMARK_CAPTURE(synthesiseBlocks, ArtAndCreativity, 9.0)->Apply(rates);
BENCHMARK_CAPTURE(synthesiseBlocks, LightRelaxation, 12.0)->Apply(rates);
BENCHMARK_CAPTURE(synthesiseBlocks, PositiveEmotions, 20.0)->Apply(rates);

}  // namespace

BENCHMARK_MAIN();

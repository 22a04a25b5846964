// What the first frame of a session waits for: reading the data file (data.qw as the build
// makes it), deciphering, decoding, cutting and reverberating the clips, loading them into
// sound buffers, and building the session's stream with its experience. Each step alone and the
// whole start, 30 times each, with the typical (p50) and the worst time in milliseconds; the
// window shows a frame every 33 ms, so the whole start has to stay below that.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/engine/AffirmationData.hpp"
#include "app/engine/AffirmationPlayer.hpp"
#include "app/engine/AudioExperienceStream.hpp"
#include "app/engine/DataFileCipher.hpp"
#include "app/engine/ExperiencePrograms.hpp"

namespace {

using namespace quellwave;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 30;

// Times `step` once per iteration; `prepare` runs untimed before each.
void timeStep(benchmark::State& state, const std::function<void()>& prepare, const std::function<void()>& step) {
    std::vector<double> millis;
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        state.ResumeTiming();
        const auto start = Clock::now();
        step();
        millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(millis.begin(), millis.end());
    state.counters["p50_ms"] = millis[millis.size() / 2];
    state.counters["max_ms"] = millis.back();
}

std::vector<std::uint8_t> fileBytes() {
    auto bytes = readDataFile(QW_DATA_FILE);
    if (!bytes.ok()) throw std::runtime_error(bytes.errorMessage());
    return std::move(bytes.value());
}

void BM_Read(benchmark::State& state) {
    timeStep(state, [] {}, [] { benchmark::DoNotOptimize(readDataFile(QW_DATA_FILE)); });
}

void BM_Decipher(benchmark::State& state) {
    std::vector<std::uint8_t> bytes = fileBytes();
    timeStep(state, [] {}, [&] { applyDataFileKey(bytes); });
}

void BM_Decode(benchmark::State& state) {
    std::vector<std::uint8_t> bytes = fileBytes();
    applyDataFileKey(bytes);
    timeStep(state, [] {}, [&] { benchmark::DoNotOptimize(decodeAudio(bytes)); });
}

// Deciphering, decoding, cutting and the reverb of all twelve clips.
void BM_PrepareClips(benchmark::State& state) {
    const std::vector<std::uint8_t> original = fileBytes();
    std::vector<std::uint8_t> bytes;
    timeStep(state, [&] { bytes = original; }, [&] { benchmark::DoNotOptimize(prepareAffirmationClips(std::move(bytes))); });
}

// The whole start of a session, as the session screen's first frame runs it (without play).
void BM_SessionStart(benchmark::State& state) {
    std::unique_ptr<AudioExperienceStream> stream;
    timeStep(state, [&] { stream.reset(); }, [&] {
        auto clips = loadAffirmationPlayer(QW_DATA_FILE);
        if (!clips.ok()) throw std::runtime_error(clips.errorMessage());
        stream = std::make_unique<AudioExperienceStream>(96000, std::move(clips.value()));
        stream->startSynthesis();
        configureExperience(*stream, 4.0, 30);
    });
}

BENCHMARK(BM_Read)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decipher)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareClips)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionStart)->Iterations(kRuns)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The sound buffers need an audio device; the silent one does for timing.
    setenv("ALSOFT_DRIVERS", "null", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// What a session's start does: on the worker, reading the data file (data.qw as the build makes
// it), deciphering, decoding, the reverb of the cut clips on its own, cutting and reverberating
// the clips, loading them into sound buffers; then, in the window's frame, building the session's
// stream with its experience from the loaded clips. Each step alone and the whole start, 30 times
// each, with the typical (p50) and the worst time in milliseconds. Steps that write fresh memory
// swing with the allocator: memory it gave back to the system is faulted in again.
// Then the start as the window lives it: frames paced at the program's 60 a second, each calling
// what the session screen calls (the start, then the frequencies and the stage for the display)
// from the confirmation until a second of sound has played; the longest frame's work and the
// longest gap between two frames' starts, typical and worst over the sessions, beside the same
// pacing with nothing to do. No frame may take longer than 33 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "app/engine/AffirmationClips.hpp"
#include "app/engine/AffirmationData.hpp"
#include "app/engine/AffirmationPlayer.hpp"
#include "app/engine/AudioExperienceStream.hpp"
#include "app/engine/CombReverb.hpp"
#include "app/engine/DataFileCipher.hpp"
#include "app/engine/ExperiencePrograms.hpp"
#include "app/ui/Globals.hpp"
#include "app/ui/SessionAudio.hpp"
#include "app/ui/VisualFrame.hpp"

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
    timeStep(
        state, [] {}, [] { benchmark::DoNotOptimize(readDataFile(QW_DATA_FILE)); });
}

void BM_Decipher(benchmark::State& state) {
    std::vector<std::uint8_t> bytes = fileBytes();
    timeStep(
        state, [] {}, [&] { applyDataFileKey(bytes); });
}

void BM_Decode(benchmark::State& state) {
    std::vector<std::uint8_t> bytes = fileBytes();
    applyDataFileKey(bytes);
    timeStep(
        state, [] {}, [&] { benchmark::DoNotOptimize(decodeAudio(bytes)); });
}

// The reverb of all twelve clips, each with its phase's settings, from the cut dry clips.
void BM_Reverb(benchmark::State& state) {
    std::vector<std::uint8_t> bytes = fileBytes();
    applyDataFileKey(bytes);
    DataFileResult<DecodedAudio> decoded = decodeAudio(bytes);
    if (!decoded.ok()) throw std::runtime_error(decoded.errorMessage());
    const DecodedAudio& audio = decoded.value();
    std::vector<std::span<const std::int16_t>> dry;
    for (std::size_t k = 0; k < ClipTable::kClipCount; ++k) {
        dry.push_back(
            cutClip(audio.samples, audio.sampleRate, audio.channelCount, ClipTable::start(k), ClipTable::duration(k)));
    }
    timeStep(
        state, [] {},
        [&] {
            for (std::size_t k = 0; k < dry.size(); ++k) {
                const CombReverbSettings& reverb = kPhaseReverbs[k / 4];
                benchmark::DoNotOptimize(applyStereoReverb(dry[k], audio.sampleRate, reverb.delays, reverb.gains));
            }
        });
}

// Deciphering, decoding, cutting and the reverb of all twelve clips.
void BM_PrepareClips(benchmark::State& state) {
    const std::vector<std::uint8_t> original = fileBytes();
    std::vector<std::uint8_t> bytes;
    timeStep(
        state, [&] { bytes = original; }, [&] { benchmark::DoNotOptimize(prepareAffirmationClips(std::move(bytes))); });
}

// The whole start of a session, as the session screen's first frame runs it (without play).
void BM_SessionStart(benchmark::State& state) {
    std::unique_ptr<AudioExperienceStream> stream;
    timeStep(
        state, [&] { stream.reset(); },
        [&] {
            auto clips = loadAffirmationPlayer(QW_DATA_FILE);
            if (!clips.ok()) throw std::runtime_error(clips.errorMessage());
            stream = std::make_unique<AudioExperienceStream>(96000, std::move(clips.value()));
            stream->startSynthesis();
            configureExperience(*stream, 4.0, 30);
        });
}

// What the window's frame does once the worker has read the file: the stream built from the
// loaded clips, its synthesis started and its experience set up (without play).
void BM_StreamFromLoadedClips(benchmark::State& state) {
    std::unique_ptr<AudioExperienceStream> stream;
    std::unique_ptr<ClipPlayer> player;
    timeStep(
        state,
        [&] {
            stream.reset();
            auto clips = loadAffirmationPlayer(QW_DATA_FILE);
            if (!clips.ok()) throw std::runtime_error(clips.errorMessage());
            player = std::move(clips.value());
        },
        [&] {
            stream = std::make_unique<AudioExperienceStream>(96000, std::move(player));
            stream->startSynthesis();
            configureExperience(*stream, 4.0, 30);
        });
}

// The longest work of one frame and the longest gap between two frames' starts, ms.
struct FrameFigures {
    std::vector<double> workMillis;
    std::vector<double> gapMillis;

    // Paces frames at the window's 60 a second; `frame` runs each and says whether more follow.
    void pace(const std::function<bool()>& frame) {
        constexpr auto kFramePeriod = std::chrono::microseconds(16667);
        double longestWork = 0.0;
        double longestGap = 0.0;
        auto tick = Clock::now();
        auto previousStart = tick;
        for (bool more = true, first = true; more; first = false) {
            const auto start = Clock::now();
            if (!first)
                longestGap =
                    std::max(longestGap, std::chrono::duration<double, std::milli>(start - previousStart).count());
            previousStart = start;
            more = frame();
            longestWork =
                std::max(longestWork, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            tick += kFramePeriod;
            std::this_thread::sleep_until(tick);
        }
        workMillis.push_back(longestWork);
        gapMillis.push_back(longestGap);
    }

    void report(benchmark::State& state) {
        std::sort(workMillis.begin(), workMillis.end());
        std::sort(gapMillis.begin(), gapMillis.end());
        state.counters["frame_work_p50_ms"] = workMillis[workMillis.size() / 2];
        state.counters["frame_work_max_ms"] = workMillis.back();
        state.counters["frame_gap_p50_ms"] = gapMillis[gapMillis.size() / 2];
        state.counters["frame_gap_max_ms"] = gapMillis.back();
    }
};

constexpr int kFramesAfterStart = 60;

// Frames of the window from the confirmation on, one session per iteration: each calls what the
// session screen calls (the start, then the frequencies and the stage for the display).
void BM_SessionStartFrames(benchmark::State& state) {
    quellwave::sampleRate = 96000;
    FrameFigures figures;
    for (auto _ : state) {
        ui::SessionAudio audio({}, QW_DATA_FILE);
        int framesAfterStart = 0;
        figures.pace([&] {
            if (framesAfterStart == 0) {
                const auto outcome = audio.begin(4.0, 30);
                if (outcome == ui::SessionAudio::Start::Failed) throw std::runtime_error("The data file was refused");
                if (outcome == ui::SessionAudio::Start::Started) framesAfterStart = 1;
            } else {
                ++framesAfterStart;
            }
            ui::VisualFrame visual;
            audio.readFrequencies(visual);
            benchmark::DoNotOptimize(audio.snapshot());
            return framesAfterStart < kFramesAfterStart;
        });
        audio.leave();
    }
    figures.report(state);
}

// The same pacing with nothing to do: what the machine's scheduling alone adds to the gaps.
void BM_IdleFrames(benchmark::State& state) {
    FrameFigures figures;
    for (auto _ : state) {
        int frames = 0;
        figures.pace([&] { return ++frames < kFramesAfterStart; });
    }
    figures.report(state);
}

BENCHMARK(BM_Read)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decipher)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reverb)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareClips)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionStart)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamFromLoadedClips)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionStartFrames)->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleFrames)->Iterations(kRuns)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The sound buffers need an audio device; the silent one does for timing.
    setenv("ALSOFT_DRIVERS", "null", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

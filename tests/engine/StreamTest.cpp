#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "app/engine/AudioExperienceStream.hpp"
#include "app/engine/ExperiencePrograms.hpp"
#include "tests/support/WaitFor.hpp"

namespace quellwave {
namespace {

// OpenAL gets its null back end before any SFML audio object exists.
const bool kNullAudioBackend = [] { return setenv("ALSOFT_DRIVERS", "null", 1) == 0; }();

constexpr std::uint32_t kRate = 48000;
constexpr auto kDeadline = std::chrono::seconds(20);
using TestSupport::waitFor;

std::unique_ptr<AudioExperienceStream> sessionStream(std::unique_ptr<ClipPlayer> clips = nullptr) {
    auto stream = std::make_unique<AudioExperienceStream>(kRate, std::move(clips));
    stream->startSynthesis();
    configureExperience(*stream, 12.0, 30);
    stream->setVolume(30.0);
    return stream;
}

bool hasPulledBlocks(const AudioExperienceStream& stream, std::uint64_t blocks) {
    return stream.getStageProgress().frameCounter >= blocks * ExperienceEngine::kBlockFrames;
}

// Holds the audio thread inside a block until the test lets it go.
class GatedClipPlayer final : public ClipPlayer {
public:
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool inside = false;
        bool open = false;
    };
    explicit GatedClipPlayer(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}

    void resetSession() override {}
    bool trigger(const AffirmationCue&) override { return false; }
    bool isPlaying() override {
        std::unique_lock lock(gate_->mutex);
        gate_->inside = true;
        gate_->changed.notify_all();
        gate_->changed.wait_for(lock, kDeadline, [this] { return gate_->open; });
        return false;
    }

private:
    std::shared_ptr<Gate> gate_;
};

TEST(AudioExperienceStream, PlaysUntilAStopIsRequested) {
    ASSERT_TRUE(kNullAudioBackend);
    auto stream = sessionStream();
    EXPECT_EQ(stream->getChannelCount(), 2u);
    EXPECT_EQ(stream->getSampleRate(), kRate);
    stream->play();
    ASSERT_TRUE(waitFor([&] { return hasPulledBlocks(*stream, 3); }));
    EXPECT_GT(stream->getBeatFrequency(), 0.0);
    stream->requestStop();
    EXPECT_TRUE(waitFor([&] { return stream->getStatus() == sf::SoundSource::Stopped; }));
    stream->stop();
    EXPECT_EQ(stream->getStageProgress().frameCounter, 0u);  // stop seeks back to the start
}

TEST(AudioExperienceStream, TakesSettersAndGettersWhilePlaying) {
    auto stream = sessionStream();
    stream->play();
    double volume = 0.0;
    std::uint64_t lastFrame = 0;
    int advances = 0;
    for (int i = 0; i < 200000 && advances < 5; ++i) {
        stream->setVolume(volume);
        volume = volume >= 60.0 ? 0.0 : volume + 1.0;
        stream->setHarmonicLevel(0.25);
        const double left = stream->getLeftFrequency();
        const double right = stream->getRightFrequency();
        EXPECT_GE(right, left);
        const std::uint64_t frame = stream->getStageProgress().frameCounter;
        if (frame != lastFrame) ++advances;
        lastFrame = frame;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_GE(advances, 5);
    stream->stop();
}

TEST(AudioExperienceStream, DestroyingAPlayingStreamStopsItFirst) {
    for (int round = 0; round < 3; ++round) {
        auto gate = std::make_shared<GatedClipPlayer::Gate>();
        auto stream = sessionStream(std::make_unique<GatedClipPlayer>(gate));
        stream->play();
        {
            std::unique_lock lock(gate->mutex);
            ASSERT_TRUE(gate->changed.wait_for(lock, kDeadline, [&] { return gate->inside; }));
            gate->open = true;  // the audio thread finishes its block while the stream goes away
            gate->changed.notify_all();
        }
        stream.reset();
    }
}

}  // namespace
}  // namespace quellwave

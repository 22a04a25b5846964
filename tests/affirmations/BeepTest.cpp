#include <gtest/gtest.h>

#include <memory>
#include <chrono>
#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "app/engine/BeepRepeater.hpp"
#include "app/engine/BeepTone.hpp"
#include "app/engine/EndOfSessionBeep.hpp"
#include "app/platform/AudioOutputState.hpp"

namespace quellwave {
namespace {

using namespace std::chrono_literals;

class BeepLength : public ::testing::TestWithParam<std::pair<std::uint32_t, std::size_t>> {};

TEST_P(BeepLength, IsTheRateTimesTwoTenthsOfASecond) {
    const auto [rate, expected] = GetParam();
    const std::vector<std::int16_t> samples = makeBeepSamples(440.0, 0.2, rate);
    EXPECT_EQ(samples.size(), expected);
}

INSTANTIATE_TEST_SUITE_P(ThreeRates, BeepLength,
                         ::testing::Values(std::pair{44100u, std::size_t{8820}}, std::pair{48000u, std::size_t{9600}},
                                           std::pair{96000u, std::size_t{19200}}));

TEST(BeepTone, IsAFullScaleSineStartingAtZero) {
    const std::vector<std::int16_t> samples = makeBeepSamples(440.0, 0.2, 48000);
    EXPECT_EQ(samples[0], 0);
    EXPECT_EQ(samples[1], 1886);  // trunc(sin(2 pi 440 / 48000) x 32767) = trunc(1886.2)
    // 440 i / 48000 = 1/4 + 8 at i = 900: the crest falls on a sample.
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 32767);
    EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), -32767);
}

// Counts plays and lets a test wait for a number of them.
class PlayCounter {
public:
    void play() {
        std::lock_guard lock(mutex_);
        ++plays_;
        changed_.notify_all();
    }
    bool waitFor(int plays) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return plays_ >= plays; });
    }
    int plays() {
        std::lock_guard lock(mutex_);
        return plays_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int plays_ = 0;
};

TEST(BeepRepeater, RepeatsEveryPeriodUntilStopped) {
    PlayCounter counter;
    BeepRepeater repeater([&] { counter.play(); }, {2ms});
    repeater.start();
    EXPECT_TRUE(repeater.running());
    EXPECT_TRUE(counter.waitFor(4));
    repeater.stop();
    EXPECT_FALSE(repeater.running());
    const int afterStop = counter.plays();
    repeater.stop();  // a second answer changes nothing
    EXPECT_EQ(counter.plays(), afterStop);
}

TEST(BeepRepeater, AnswerEndsTheThreadAtOnceInsteadOfAfterThePeriod) {
    PlayCounter counter;
    BeepRepeater repeater([&] { counter.play(); }, {1h});
    repeater.start();
    ASSERT_TRUE(counter.waitFor(1));
    const auto before = std::chrono::steady_clock::now();
    repeater.stop();
    // Generous for a loaded machine, yet far below the hour-long period.
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(counter.plays(), 1);
}

TEST(BeepRepeater, DestroyingItWhileRunningJoinsTheThread) {
    auto counter = std::make_unique<PlayCounter>();
    {
        BeepRepeater repeater([target = counter.get()] { target->play(); }, {1ms});
        repeater.start();
        ASSERT_TRUE(counter->waitFor(2));
    }
    // A thread that outlived the repeater would now play into freed memory (ASan, TSan).
    counter.reset();
}

TEST(EndOfSessionBeep, StartsAndStopsAtOnceForEverySession) {
    EndOfSessionBeep beep({1h});
    for (int session = 0; session < 3; ++session) {
        beep.start(48000);
        beep.start(48000);  // already beeping: no second thread
        EXPECT_TRUE(beep.beeping());
        const auto before = std::chrono::steady_clock::now();
        beep.stop();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
        EXPECT_FALSE(beep.beeping());
    }
    beep.start(44100);  // the program ends on the end screen: the destructor joins
}

// The sound library closes its output device once no sound object is left: a device lost with
// its sound server must not be kept past the beep, or no later session would open a new one.
TEST(EndOfSessionBeep, HoldsTheOutputDeviceOnlyWhileItBeeps) {
    ASSERT_FALSE(platform::audioOutputOpen()) << "a sound object of another test is still alive";
    EndOfSessionBeep beep({1h});
    EXPECT_FALSE(platform::audioOutputOpen());
    for (int session = 0; session < 2; ++session) {
        beep.start(48000);
        EXPECT_TRUE(platform::audioOutputOpen());
        beep.stop();
        EXPECT_FALSE(platform::audioOutputOpen());
    }
}

}  // namespace
}  // namespace quellwave

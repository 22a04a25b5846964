#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sdk/devices/morvex/MorvexResistMeter.hpp"

using namespace VexaDevice::Morvex;

namespace {

// A batch of `samples` samples with `volts` on every electrode.
std::vector<_SignalData> batchOf(size_t samples, double volts) {
    _SignalData record;
    record.Samples.assign(samples, MorvexSample{volts, volts, volts, volts});
    return {record};
}

constexpr double Inf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(MorvexResistMeter, MeasuresEachElectrodeWithBothPolaritiesInDeviceOrder) {
    MorvexResistMeter meter;
    const double x = 0.015;  // 100 kOhm: x / 1.5e-7

    auto step = meter.feed(batchOf(24, x), {Electrode::O1, Polarity::Positive});
    EXPECT_FALSE(step.next);
    EXPECT_FALSE(step.completed);

    step = meter.feed(batchOf(1, x), {Electrode::O1, Polarity::Positive});
    EXPECT_FALSE(step.completed);
    ASSERT_TRUE(step.next);
    EXPECT_EQ(*step.next, (ElectrodeSelection{Electrode::O1, Polarity::Negative}));
    EXPECT_FALSE(step.idleFirst);

    step = meter.feed(batchOf(26, -x), {Electrode::O1, Polarity::Negative});
    ASSERT_TRUE(step.completed);
    EXPECT_NEAR(step.completed->O1, 100000.0, 1e-6);
    EXPECT_EQ(step.completed->T3, Inf);
    EXPECT_EQ(step.completed->T4, Inf);
    EXPECT_EQ(step.completed->O2, Inf);
    ASSERT_TRUE(step.next);
    EXPECT_EQ(*step.next, (ElectrodeSelection{Electrode::T3, Polarity::Positive}));

    // T3 at 20 kOhm, then T4, O2 and back to O1.
    meter.feed(batchOf(25, 0.003), {Electrode::T3, Polarity::Positive});
    step = meter.feed(batchOf(25, -0.003), {Electrode::T3, Polarity::Negative});
    ASSERT_TRUE(step.completed);
    EXPECT_NEAR(step.completed->T3, 20000.0, 1e-6);
    EXPECT_NEAR(step.completed->O1, 100000.0, 1e-6);
    EXPECT_EQ(step.next->electrode, Electrode::T4);

    meter.feed(batchOf(25, 0.001), {Electrode::T4, Polarity::Positive});
    step = meter.feed(batchOf(25, -0.001), {Electrode::T4, Polarity::Negative});
    EXPECT_EQ(step.next->electrode, Electrode::O2);
    meter.feed(batchOf(25, 0.002), {Electrode::O2, Polarity::Positive});
    step = meter.feed(batchOf(25, -0.002), {Electrode::O2, Polarity::Negative});
    EXPECT_EQ(step.next->electrode, Electrode::O1);
    EXPECT_NEAR(step.completed->O2, 2000.0 / 0.15, 1e-6);
    EXPECT_NEAR(step.completed->T4, 1000.0 / 0.15, 1e-6);
}

TEST(MorvexResistMeter, MeanUsesOnlyTheNewestFiveValues) {
    MorvexResistMeter meter;
    meter.feed(batchOf(20, 0.3), {Electrode::O1, Polarity::Positive});
    meter.feed(batchOf(5, 0.015), {Electrode::O1, Polarity::Positive});
    meter.feed(batchOf(20, -0.3), {Electrode::O1, Polarity::Negative});
    auto step = meter.feed(batchOf(5, -0.015), {Electrode::O1, Polarity::Negative});
    ASSERT_TRUE(step.completed);
    EXPECT_NEAR(step.completed->O1, 100000.0, 1e-6);
}

TEST(MorvexResistMeter, SaturatedOrSilentElectrodeReadsInfinite) {
    MorvexResistMeter meter;
    meter.feed(batchOf(25, 0.41), {Electrode::O1, Polarity::Positive});
    auto step = meter.feed(batchOf(25, -0.41), {Electrode::O1, Polarity::Negative});
    ASSERT_TRUE(step.completed);
    EXPECT_EQ(step.completed->O1, Inf);

    // Both polarities around 5e-9 V: accepted only as the zero limit allows; the mean is
    // below the zero threshold, so the electrode counts as not measurable.
    MorvexResistMeter quiet;
    auto first = quiet.feed(batchOf(1, 0.0), {Electrode::T3, Polarity::Positive});
    EXPECT_FALSE(first.next);
    auto zeros = quiet.feed(batchOf(100, 0.0), {Electrode::T3, Polarity::Positive});
    EXPECT_FALSE(zeros.next) << "100 zero values are not yet accepted";
    zeros = quiet.feed(batchOf(24, 0.0), {Electrode::T3, Polarity::Positive});
    ASSERT_TRUE(zeros.next);
    EXPECT_TRUE(zeros.idleFirst) << "a device stuck at zero is sent idle before switching";
    EXPECT_EQ(*zeros.next, (ElectrodeSelection{Electrode::T3, Polarity::Negative}));
}

TEST(MorvexResistMeter, NewMeasurementForgetsThePreviousResults) {
    MorvexResistMeter meter;
    meter.feed(batchOf(25, 0.015), {Electrode::O1, Polarity::Positive});
    meter.feed(batchOf(25, -0.015), {Electrode::O1, Polarity::Negative});

    meter.restart();
    meter.feed(batchOf(25, 0.003), {Electrode::T3, Polarity::Positive});
    auto step = meter.feed(batchOf(25, -0.003), {Electrode::T3, Polarity::Negative});
    ASSERT_TRUE(step.completed);
    EXPECT_EQ(step.completed->O1, Inf) << "O1 of the previous measurement leaked";
    EXPECT_NEAR(step.completed->T3, 20000.0, 1e-6);
}

TEST(MorvexResistMeter, DroppedValuesStartThePolarityAgain) {
    MorvexResistMeter meter;
    meter.feed(batchOf(24, 0.015), {Electrode::O1, Polarity::Positive});
    meter.dropValues();
    auto step = meter.feed(batchOf(1, 0.015), {Electrode::O1, Polarity::Positive});
    EXPECT_FALSE(step.next);
}

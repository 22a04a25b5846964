#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "app/engine/ExperienceCatalogue.hpp"
#include "app/engine/ExperiencePrograms.hpp"

namespace quellwave {
namespace {

std::vector<double> lengths(double code, int minutes) {
    auto stages = experienceProgram(code).stages;
    rescaleStages(stages, minutes * 60);
    std::vector<double> out;
    for (const auto& stage : stages) out.push_back(stage.duration);
    return out;
}

struct LengthRow {
    double code;
    int minutes;
    std::vector<double> expected;
};

TEST(RescaleStages, GivesTheStageLengthsOfEveryProgramAndDuration) {
    const std::vector<LengthRow> table = {
        {4.0, 30, {122, 304, 268, 176, 147, 192, 99, 330, 157}},
        {4.0, 40, {163, 405, 357, 235, 196, 256, 133, 441, 210}},
        {4.0, 50, {203, 507, 447, 294, 245, 320, 166, 551, 263}},
        {4.0, 60, {244, 608, 536, 353, 295, 384, 199, 661, 315}},
        {4.1, 30, {174, 506, 446, 514, 157}},
        {4.1, 40, {232, 675, 595, 686, 210}},
        {4.1, 50, {290, 844, 744, 857, 262}},
        {4.1, 60, {349, 1012, 893, 1029, 315}},
        {9.0, 30, {422, 929, 448}},
        {9.0, 40, {562, 1240, 597}},
        {9.0, 50, {703, 1549, 747}},
        {9.0, 60, {844, 1859, 896}},
        {12.0, 30, {343, 383, 902, 171}},
        {12.0, 40, {457, 510, 1203, 228}},
        {12.0, 50, {572, 638, 1503, 286}},
        {12.0, 60, {686, 766, 1804, 343}},
        {20.0, 30, {367, 346, 891, 194}},
        {20.0, 40, {490, 462, 1188, 259}},
        {20.0, 50, {612, 577, 1485, 324}},
        {20.0, 60, {735, 693, 1782, 388}},
    };
    for (const auto& row : table) {
        const auto got = lengths(row.code, row.minutes);
        EXPECT_EQ(got, row.expected) << "code " << row.code << ", " << row.minutes << " min";
        const double total = std::accumulate(got.begin(), got.end(), 0.0);
        EXPECT_LE(total, row.minutes * 60.0);
        EXPECT_GE(total, row.minutes * 60.0 - 5.0);
    }
}

TEST(RescaleStages, RaisesShortStagesToTheMinimumThenScalesTheSum) {
    // Shares 99 and 1 give 1782 s and 18 s; 18 s is raised to the 60 s minimum and the sum of
    // 1842 s is scaled back to 1800 s (truncated), so the raised stage ends below the minimum.
    std::vector<ExperienceStage> stages = {{10.0, 0, 0, 99.0, 0.0}, {10.0, 0, 0, 1.0, 0.0}};
    rescaleStages(stages, 1800);
    EXPECT_EQ(stages[0].duration, 1741.0);
    EXPECT_EQ(stages[1].duration, 58.0);

    // Above 30 minutes the minimum is 120 s: 2376 + 120 = 2496 scaled to 2400.
    std::vector<ExperienceStage> longer = {{10.0, 0, 0, 99.0, 0.0}, {10.0, 0, 0, 1.0, 0.0}};
    rescaleStages(longer, 2400);
    EXPECT_EQ(longer[0].duration, 2284.0);
    EXPECT_EQ(longer[1].duration, 115.0);
}

TEST(RescaleStages, RefusesSessionsWithoutLengthOrShares) {
    auto stages = experienceProgram(12.0).stages;
    EXPECT_THROW(rescaleStages(stages, 0), std::invalid_argument);
    for (auto& stage : stages) stage.share = 0.0;
    EXPECT_THROW(rescaleStages(stages, 1800), std::invalid_argument);
}

TEST(ExperiencePrograms, AffirmationVolumesOpenAtSeventyFiveAndCloseAsGiven) {
    for (const double code : {4.0, 4.1, 9.0, 12.0, 20.0}) {
        const auto program = experienceProgram(code);
        EXPECT_EQ(program.stages.front().affirmationStart, 75) << code;
        const std::uint16_t closing = code < 5.0 ? 95 : 75;
        EXPECT_EQ(program.stages.back().affirmationEnd, closing) << code;
        EXPECT_EQ(program.carriers.size(), program.stages.size());
        EXPECT_EQ(program.overlayProfiles.size(), program.stages.size());
        double shares = 0.0;
        for (const auto& stage : program.stages) shares += stage.share;
        EXPECT_DOUBLE_EQ(shares, 100.0) << code;
    }
}

TEST(ExperiencePrograms, MainStageCarriesTheCodeAsBeat) {
    EXPECT_EQ(experienceProgram(12.0).stages[2].beat, 12.0);
    EXPECT_EQ(experienceProgram(20.0).stages[2].beat, 20.0);
    EXPECT_EQ(experienceProgram(9.0).stages[1].beat, 9.0);
    EXPECT_EQ(experienceProgram(4.0).stages[1].beat, 4.0);
    for (const auto& stage : experienceProgram(4.1).stages) EXPECT_NE(stage.beat, 4.1);
}

TEST(ExperienceCatalogue, ListsFiveExperiencesInDisplayOrder) {
    const auto& catalogue = experienceCatalogue();
    ASSERT_EQ(catalogue.size(), 5u);
    EXPECT_EQ(catalogue[0].code, 4.0);
    EXPECT_EQ(catalogue[0].name, "Out-of-Physical Realm");
    EXPECT_EQ(catalogue[0].description,
              "May induce out-of-body experiences. Use protective affirmations.\n"
              "Suggested duration: 30-60 minutes.");
    EXPECT_EQ(catalogue[1].code, 4.1);
    EXPECT_EQ(catalogue[1].name, "Lucid Dream (Night-Time)");
    EXPECT_EQ(catalogue[1].description, catalogue[0].description);
    EXPECT_EQ(catalogue[2].name, "Art & Creativity");
    EXPECT_EQ(catalogue[2].description,
              "Stimulate creative thinking and artistic expression.\nSuggested duration: 20-60 minutes.");
    EXPECT_EQ(catalogue[3].code, 12.0);
    EXPECT_EQ(catalogue[3].description,
              "A gentle frequency for relieving stress while staying alert.\nSuggested duration: 15-60 minutes.");
    EXPECT_EQ(catalogue[4].code, 20.0);
    EXPECT_EQ(catalogue[4].name, "Positive Emotions");
    EXPECT_EQ(catalogue[4].description, "Enhances mental clarity and positivity.\nSuggested duration: 20-60 minutes.");
    for (const auto& experience : catalogue) EXPECT_NO_THROW(experienceProgram(experience.code));
}

}  // namespace
}  // namespace quellwave

#include "generators/generators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "support/recording_grid.h"

namespace kijunchi {
namespace {

using testing::RecordingGrid;

TEST(RandomSourceTest, DrawsStayInsideTheUnitIntervalNeverReachingOne) {
    RandomSource source;
    for (int i = 0; i < 20000; ++i) {
        const float u = source.uniform();
        ASSERT_TRUE(u >= 0.0f && u < 1.0f) << "draw " << i << ": " << u;
    }
}

TEST(GeneratorCountTest, AcceptsOnlyWholeNumbersFromZeroToFiveThousand) {
    EXPECT_EQ(readGeneratorCount(" 5000 "), 5000);
    EXPECT_EQ(readGeneratorCount("0"), 0);
    EXPECT_EQ(readGeneratorCount("２００"), 200);  // full-width digits
    // A text that is no whole number is refused, not read as 0.
    for (const char* refused : {"5001", "-1", "2.5", "", "abc", "12x", " "})
        EXPECT_EQ(readGeneratorCount(refused), std::nullopt) << refused;
}

TEST(GenerateNormalTest, HundredValuesNearMeanAndSdWithTheGridRoundedToFourDigits) {
    AnalysisStore store;
    store.Lambda = store.LambdaShown = Value("0.5");
    RandomSource random;
    // A fixed seed instead of the clock: the test gives the same values on every run.
    random.setClock([] { return std::uint64_t{20260211}; });
    RecordingGrid grid;
    ASSERT_TRUE(generateNormal(store, random, 100, 50.0, 10.0, grid));
    double sum = 0, squares = 0;
    int unrounded = 0;
    for (int i = 1; i <= 100; ++i) {
        const double v = store.AnalysisValues[i].toNumber(), shown = store.DataValues[i].toNumber();
        sum += v;
        squares += v * v;
        unrounded += shown != v;
        EXPECT_EQ(std::stod(grid.cell(i - 1)), shown);
        // Four significant digits of a value from 10 to 100 (all but a deviate beyond four
        // SDs) are two decimals.
        if (v >= 10 && v < 100) {
            EXPECT_NEAR(shown, std::round(v * 100) / 100, 1e-9) << v;
        }
    }
    // Within five standard errors: the mean's is 1, the SD's about 0.71.
    EXPECT_NEAR(sum / 100, 50.0, 5.0);
    EXPECT_NEAR(std::sqrt((squares - sum * sum / 100) / 99), 10.0, 3.6);
    EXPECT_GT(unrounded, 90);  // the analysis still reads the values at full precision
    EXPECT_EQ(grid.countLabels.back(), "100");
    EXPECT_EQ(grid.commentLabels.back(), "");
    EXPECT_TRUE(store.Lambda.isBlank());

    // The same fixed clock gives the same data set again.
    AnalysisStore again;
    RandomSource repeat;
    repeat.setClock([] { return std::uint64_t{20260211}; });
    ASSERT_TRUE(generateNormal(again, repeat, 100, 50.0, 10.0, grid));
    EXPECT_EQ(again.AnalysisValues, store.AnalysisValues);
}

TEST(GenerateNormalTest, AnOddCountLeavesItsSinePartnerForTheNextRun) {
    AnalysisStore store;
    RandomSource random;
    RecordingGrid grid;
    generateNormal(store, random, 3, 0.0, 1.0, grid);
    // A copy of the source after the first run answers with the pending partner before any
    // draw, so the reseed of the second run cannot change it.
    RandomSource copy = random;
    const float partner = copy.nrnd();
    generateNormal(store, random, 1, 100.0, 2.0, grid);
    EXPECT_EQ(store.AnalysisValues[1].toNumber(), static_cast<double>(partner) * 2.0 + 100.0);
}

TEST(GenerateUniformTest, FreshStartsRepeatAndANormalRunInBetweenChangesThem) {
    AnalysisStore first, second, third;
    RecordingGrid grid;
    RandomSource freshA, freshB, afterNormal;
    const std::string listing = generateUniform(first, freshA, 100, 100.0, grid);
    EXPECT_EQ(generateUniform(second, freshB, 100, 100.0, grid), listing);
    generateNormal(third, afterNormal, 10, 0.0, 1.0, grid);
    generateUniform(third, afterNormal, 100, 100.0, grid);
    std::string firstTen;
    int differing = 0;
    for (int i = 1; i <= 100; ++i) {
        EXPECT_EQ(second.AnalysisValues[i], first.AnalysisValues[i]);
        differing += third.AnalysisValues[i] != first.AnalysisValues[i];
        if (i <= 10) firstTen += first.AnalysisValues[i].toText() + "\r\n";
    }
    EXPECT_EQ(listing, firstTen + "\r\n");
    EXPECT_GT(differing, 50);
}

TEST(GenerateUniformTest, MaximumTwoAndAHalfGivesOneTwoAndThreeInTheirShares) {
    AnalysisStore store;
    RandomSource random;
    RecordingGrid grid;
    generateUniform(store, random, 5000, 2.5, grid);
    int counts[4] = {0, 0, 0, 0};
    for (int i = 1; i <= 5000; ++i) {
        const double v = store.AnalysisValues[i].toNumber();
        ASSERT_TRUE(v == 1.0 || v == 2.0 || v == 3.0) << v;
        ++counts[static_cast<int>(v)];
    }
    // ⌊u·2.5 + 1⌋ is 1 for u < 0.4, 2 for u < 0.8, 3 above: 2000, 2000 and 1000 expected,
    // each within about four standard deviations (35, 35 and 28).
    EXPECT_NEAR(counts[1], 2000, 140);
    EXPECT_NEAR(counts[2], 2000, 140);
    EXPECT_NEAR(counts[3], 1000, 115);
}

TEST(GenerateUniformTest, ListingShowsOnlyTheValuesJustGenerated) {
    AnalysisStore store;
    RandomSource random;
    RecordingGrid grid;
    generateUniform(store, random, 20, 1000.0, grid);
    store.Lambda = Value("0");
    // A maximum of 0 makes every value 1.
    EXPECT_EQ(generateUniform(store, random, 3, 0.0, grid), "1\r\n1\r\n1\r\n\r\n");
    EXPECT_EQ(generateUniform(store, random, 0, 50.0, grid), "\r\n");
    EXPECT_EQ(store.WorkCount, 0);
    EXPECT_TRUE(store.Lambda.isBlank());
}

}  // namespace
}  // namespace kijunchi

#include "generators/generators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "support/recording_grid.h"

namespace kijunchi {
namespace {

using testing::RecordingGrid;

TEST(RandomSourceTest, FreshSourcesRepeatTheSameValuesInsideTheUnitInterval) {
    RandomSource a;
    RandomSource b;
    for (int i = 0; i < 20000; ++i) {
        const float u = a.uniform();
        ASSERT_EQ(u, b.uniform()) << "draw " << i;
        ASSERT_GE(u, 0.0f);
        ASSERT_LT(u, 1.0f);
    }
}

TEST(RandomSourceTest, NrndIsBoxMullerOverTwoDrawsWithTheSinePartnerKept) {
    // The same two draws taken from a twin source, put through the Box-Muller formulas here in
    // double precision.
    RandomSource source;
    RandomSource twin;
    for (int pair = 0; pair < 50; ++pair) {
        const double u1 = twin.uniform();
        const double u2 = twin.uniform();
        const double radius = std::sqrt(-2.0 * std::log(1.0 - u1));
        const double angle = u2 * 2.0 * 3.14159265358979;
        EXPECT_NEAR(source.nrnd(), radius * std::cos(angle), 2e-5 * (1 + radius));
        EXPECT_NEAR(source.nrnd(), radius * std::sin(angle), 2e-5 * (1 + radius));
    }
    // The partner took no draw: both sources have used exactly the same number.
    EXPECT_EQ(source.uniform(), twin.uniform());
}

TEST(GeneratorCountTest, AcceptsOnlyWholeNumbersFromZeroToFiveThousand) {
    EXPECT_EQ(readGeneratorCount(" 5000 "), 5000);
    EXPECT_EQ(readGeneratorCount(""), 0);  // an empty box reads as 0: nothing generated
    EXPECT_EQ(readGeneratorCount("1e3"), 1000);
    for (const char* refused : {"5001", "-1", "2.5"})
        EXPECT_EQ(readGeneratorCount(refused), std::nullopt) << refused;
}

TEST(GenerateNormalTest, HundredValuesNearMeanAndSdWithTheGridRoundedToFourDigits) {
    AnalysisStore store;
    store.Lambda = store.LambdaShown = Value("0.5");
    store.UntransformedValues = {1.0, 2.0};
    RandomSource random;
    RecordingGrid grid;
    ASSERT_TRUE(generateNormal(store, random, 100, 50.0, 10.0, grid));

    EXPECT_EQ(store.WorkCount, 100);
    double sum = 0, squares = 0;
    int unrounded = 0;
    for (int i = 1; i <= 100; ++i) {
        const double v = store.AnalysisValues[i].toNumber();
        sum += v;
        squares += v * v;
        // Four significant digits of a value between 10 and 100 (all, but for a deviate beyond
        // four SDs) are two decimals.
        const double shown = store.DataValues[i].toNumber();
        EXPECT_EQ(std::stod(grid.cell(i - 1)), shown);
        if (v >= 10 && v < 100) {
            EXPECT_LE(std::fabs(shown - v), 0.005 + 1e-12);
            EXPECT_NEAR(shown * 100, std::round(shown * 100), 1e-6) << grid.cell(i - 1);
        }
        if (shown != v) ++unrounded;
    }
    const double mean = sum / 100;
    const double sd = std::sqrt((squares - 100 * mean * mean) / 99);
    // Five standard errors: the mean's is 1, the SD's about 0.71.
    EXPECT_NEAR(mean, 50.0, 5.0);
    EXPECT_NEAR(sd, 10.0, 3.6);
    EXPECT_GT(unrounded, 90);  // the analysis still reads the values at full precision

    EXPECT_EQ(grid.countLabels.back(), "100");
    EXPECT_EQ(grid.commentLabels.back(), "");
    EXPECT_TRUE(store.Lambda.isBlank());
    EXPECT_TRUE(store.LambdaShown.isBlank());
    EXPECT_TRUE(store.UntransformedValues.empty());
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
    RandomSource freshA;
    const std::string listingA = generateUniform(first, freshA, 100, 100.0, grid);
    RandomSource freshB;
    const std::string listingB = generateUniform(second, freshB, 100, 100.0, grid);
    RandomSource afterNormal;
    AnalysisStore scratch;
    generateNormal(scratch, afterNormal, 10, 0.0, 1.0, grid);
    generateUniform(third, afterNormal, 100, 100.0, grid);

    // The expected values are ⌊u·max + 1⌋ applied here to a fresh source's draws.
    RandomSource reference;
    std::string expectedListing;
    int differing = 0;
    for (int i = 1; i <= 100; ++i) {
        const double expected = std::floor(static_cast<double>(reference.uniform()) * 100.0 + 1);
        EXPECT_EQ(first.AnalysisValues[i].toNumber(), expected);
        EXPECT_EQ(second.AnalysisValues[i].toNumber(), expected);
        if (third.AnalysisValues[i].toNumber() != expected) ++differing;
        if (i <= 10) expectedListing += std::to_string(static_cast<int>(expected)) + "\r\n";
    }
    EXPECT_EQ(listingA, expectedListing + "\r\n");
    EXPECT_EQ(listingB, listingA);
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
    // 1 for u < 0.4, 2 for u < 0.8, 3 above: 2000, 2000 and 1000 expected, each within about
    // four standard deviations (35, 35 and 28).
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
    EXPECT_EQ(grid.commentLabels.back(), "");
}

}  // namespace
}  // namespace kijunchi

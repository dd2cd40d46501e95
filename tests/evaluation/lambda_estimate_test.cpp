#include "evaluation/lambda_estimate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/number_text.h"
#include "analysis/store.h"
#include "report/sig_round.h"
#include "support/data_set.h"
#include "transform/power_transform.h"

namespace kijunchi {
namespace {

// Rounded lognormal and gamma samples drawn in R (set.seed(13); round(exp(rnorm(40, 3, 0.6)),
// 1) and set.seed(7); round(rgamma(60, 3, 0.5), 2)).
const std::vector<double> kLogNormal40 = {
    28,   17,   58.3, 22.5, 39.9, 25.8, 42,   23.2, 16.1, 39,   10.4, 26.5, 8.9, 6.6,
    15.4, 17.9, 46.4, 21.3, 18.8, 30.6, 23.5, 60.4, 24.9, 10.7, 29.1, 22,   8.4, 6,
    10.7, 13,   20,   33.4, 16,   14.6, 17,   14,   16.4, 17.4, 12,   12.1};
const std::vector<double> kGamma60 = {
    14.85, 1.93, 7.9,   12.87, 4.68, 7.65, 4.64, 15.65, 12.79, 6.59, 2.57,  8.76,  7.88, 4.66, 7.48,
    9.98,  1.57, 12.47, 7.01,  6.08, 4.13, 4.17, 5.03,  6.73,  6.38, 4.86,  3.38,  6.02, 5.55, 4.52,
    9.6,   3.03, 1.53,  3.84,  8.29, 4.98, 3.81, 7.55,  6.64,  1.27, 6.1,   7.87,  8.52, 4.79, 6.87,
    7.48,  6.06, 9.12,  7.73,  9.31, 9.78, 7.46, 6.46,  2.51,  7,    10.57, 12.51, 9.97, 2.71, 4.8};

TEST(LambdaLikelihood, EqualsTheTableAtEveryTabulatedLambda) {
    for (const auto& values : {kLogNormal40, kGamma60, testing::calcium240()}) {
        AnalysisStore store;
        testing::load(store, values);
        std::istringstream table(likelihoodTable(store));
        std::string line;
        for (int skip = 0; skip < 4; ++skip) std::getline(table, line);
        const LambdaLikelihood ml(values);
        for (int k = -10; k <= 30; ++k) {
            ASSERT_TRUE(std::getline(table, line));
            const double expected = std::stod(line.substr(line.find('\t') + 1));
            EXPECT_NEAR(ml(k / 10.0), expected, 1e-9 * std::max(1.0, std::fabs(expected)))
                << "λ " << k / 10.0 << ", n " << values.size();
        }
    }
}

TEST(LambdaEstimate, AgreesWithAnIndependentMaximisation) {
    // R: optimize() of −(n/2)·log(SS/n) + Σ log|x^(λ−1)| on [−1, 3] (tol 1e-10), and uniroot()
    // of ML(λ) = ML(λ̂) − 1.921 on each side.
    struct Case {
        const char* name;
        std::vector<double> values;
        double lambda, likelihood, low, high;  // NaN: the interval runs past the range
    };
    const double none = std::nan("");
    const std::vector<Case> cases = {
        {"1 2 4", {1, 2, 4}, 0.0, -0.3717051145, none, 2.7770849517},
        {"calcium", testing::calcium240(), 0.0534678605, 271.9592321541, none, none},
        {"skewed 25", testing::testDataValues("skewed_25.txt"), -0.8647787131, -21.0598673934, none,
         0.0071372531},
        {"lognormal 40", kLogNormal40, -0.0354112639, -94.2603924329, -0.5359005398, 0.4673958690},
        {"gamma 60", kGamma60, 0.5251729819, -67.6264388614, 0.1284282646, 0.9415826339},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto estimate = estimateLambda(c.values);
        ASSERT_TRUE(estimate);
        EXPECT_NEAR(estimate->lambda, c.lambda, 5e-6);
        EXPECT_NEAR(estimate->likelihood, c.likelihood, 1e-8);
        EXPECT_FALSE(estimate->lambdaAtBound);
        EXPECT_EQ(estimate->lowAtBound, std::isnan(c.low));
        EXPECT_EQ(estimate->highAtBound, std::isnan(c.high));
        EXPECT_NEAR(estimate->ciLow, std::isnan(c.low) ? -1.0 : c.low, 1e-6);
        EXPECT_NEAR(estimate->ciHigh, std::isnan(c.high) ? 3.0 : c.high, 1e-6);
    }
}

TEST(LambdaEstimate, ToTheDigitsItIsPrintedWith) {
    // R: uniroot() (tol 1e-16) next to optimize()'s maximum of the score −Σ(y − ȳ)·dy/dλ of
    // the logarithms centred at their mean (their Taylor series where |λ·l| < 1e-3); λ̂ near 0
    // shows its fourth digit only when found to ~1e-10.
    // The samples: set.seed(s); round(exp(rnorm(40, 3, 0.6)), 1) for s = 609, 969, 1525.
    struct Case {
        const char* name;
        std::vector<double> values;
        double lambda;
        const char* printed;  // signif(λ̂, 4)
    };
    const std::vector<Case> cases = {
        {"seed 609",
         {6.8,  23.9, 79.1, 21.5, 8.6,  12.5, 17.5, 27.8, 7.9,  17,   6.1,  8.2,  19.7, 15.6,
          17.9, 9.1,  22.2, 41.3, 17.7, 20,   4.9,  10.3, 28.6, 19.8, 11.7, 37.3, 14,   26.2,
          30.8, 22.1, 35.9, 42.7, 15.9, 16.7, 7.5,  27.4, 10.4, 29,   35.9, 11.3},
         -0.000170195344419638,
         "-0.0001702"},
        {"seed 969",
         {26.6, 15,   13.4, 43.2, 25.6, 9.2,  12.1, 4.4, 28.2, 24.3, 13.8, 10.8, 11.6, 10.5,
          11.2, 27.7, 7.2,  41,   63,   30.1, 13,   7.3, 13.3, 38.9, 16.1, 17.4, 25,   23.9,
          17.1, 24.7, 38.8, 9,    17.7, 56.7, 69,   6.4, 35.1, 27.2, 12.6, 51.9},
         -0.000710024570641845,
         "-0.00071"},
        {"seed 1525",
         {18,   23,   58.2, 12.4, 24.8, 17.6, 14.1, 32.4, 55.4, 13.3, 62.5, 30,  26.1, 20.9,
          34.3, 12.3, 41.5, 24.5, 9.2,  12.9, 19.6, 28,   7.6,  26.4, 5.3,  9,   85.2, 12.2,
          26.2, 49.8, 7.4,  19.4, 56.4, 22.1, 37.3, 8.9,  61.3, 51.4, 16.6, 12.8},
         0.000671271753185721,
         "0.0006713"},
        {"skewed 25", testing::testDataValues("skewed_25.txt"), -0.864778730606911, "-0.8648"},
        {"calcium", testing::calcium240(), 0.0534688796183722, "0.05347"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto estimate = estimateLambda(c.values);
        ASSERT_TRUE(estimate);
        EXPECT_NEAR(estimate->lambda, c.lambda, 1e-10);
        EXPECT_EQ(numberText(SigRound(estimate->lambda)), c.printed);
    }
}

TEST(LambdaEstimate, MaximumOnAnEndOfTheRange) {
    // Strongly left-skewed data want λ > 3: the estimate stops at 3 and says so. R (as above):
    // ML rises up to 3, ML(3) = −22.2075118072, the interval's lower end 0.2971202314.
    const std::vector<double> values = {99, 98.5, 98, 97, 96, 94, 91, 86, 78, 65};
    const auto estimate = estimateLambda(values);
    ASSERT_TRUE(estimate);
    EXPECT_EQ(estimate->lambda, 3.0);
    EXPECT_TRUE(estimate->lambdaAtBound);
    EXPECT_TRUE(estimate->highAtBound);
    EXPECT_EQ(estimate->ciHigh, 3.0);
    EXPECT_NEAR(estimate->likelihood, -22.2075118072, 1e-6);  // R stops at 2.99999993
    EXPECT_NEAR(estimate->ciLow, 0.2971202314, 1e-6);
    EXPECT_FALSE(estimate->lowAtBound);
    const LambdaLikelihood ml(values);
    for (double l = -1; l < 3; l += 0.01) EXPECT_LE(ml(l), estimate->likelihood) << l;
}

TEST(LambdaEstimate, RefusesDataWithoutALikelihood) {
    EXPECT_FALSE(estimateLambda(std::vector<double>{1, 2}));
    EXPECT_FALSE(estimateLambda(std::vector<double>{1, 2, 0}));
    EXPECT_FALSE(estimateLambda(std::vector<double>{1, -2, 3}));
    EXPECT_FALSE(estimateLambda(std::vector<double>{5, 5, 5, 5}));
    // Far beyond any power a double holds: the scaling by the geometric mean keeps ML finite.
    const auto huge = estimateLambda(std::vector<double>{1e300, 2e300, 4e300, 3e300});
    ASSERT_TRUE(huge);
    const auto plain = estimateLambda(std::vector<double>{1, 2, 4, 3});
    ASSERT_TRUE(plain);
    EXPECT_NEAR(huge->lambda, plain->lambda, 1e-6);
}

TEST(LambdaEstimate, EqualValuesHaveNoneWhateverTheRoundingOfTheirLogarithms) {
    // The mean of 120 logarithms of 140 is not ln 140 to the last bit: the centred logarithms
    // are noise of 1E-16, which once gave a λ̂ of 0.382.
    struct Case {
        std::vector<double> values;
        const char* reason;
    };
    const Case cases[] = {
        {std::vector<double>(120, 140), "すべての値が等しいため"},
        {std::vector<double>(30, 5), "すべての値が等しいため"},
        {std::vector<double>(7, 0.1), "すべての値が等しいため"},
        {{1, 2}, "正の値3個以上が必要"},
        {{3, -1, 4}, "0以下の値があるため"},
        {{1, 2, 4}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(estimateLambda(c.values).has_value(), *c.reason == 0) << c.values[0];
        EXPECT_EQ(lambdaMissingReason(c.values), c.reason) << c.values[0];
    }
    EXPECT_EQ(lambdaEstimateText(std::nullopt, std::vector<double>(120, 140)),
              "最尤λ：求められません（すべての値が等しいため）");
}

TEST(LambdaEstimate, TextUnderTheTableAndTheNearestRow) {
    // The figures of the R maximisation above, rounded by hand.
    EXPECT_EQ(lambdaEstimateText(estimateLambda(kLogNormal40)),
              "最尤λ = -0.035（95%信頼区間 -0.54 ～ 0.47）");
    EXPECT_EQ(lambdaEstimateText(estimateLambda(kGamma60)),
              "最尤λ = 0.525（95%信頼区間 0.13 ～ 0.94）");
    EXPECT_EQ(lambdaEstimateText(estimateLambda(testing::calcium240())),
              "最尤λ = 0.053（95%信頼区間 -1未満 ～ 3超）");
    EXPECT_EQ(lambdaEstimateText(
                  estimateLambda(std::vector<double>{99, 98.5, 98, 97, 96, 94, 91, 86, 78, 65})),
              "最尤λ = 3.000（範囲の端）（95%信頼区間 0.30 ～ 3超）");
    EXPECT_EQ(lambdaEstimateText(std::nullopt), "最尤λ：求められません（正の値3個以上が必要）");
    // λ 1,2,4 is 0 up to the search's tolerance: no "-0.000".
    EXPECT_EQ(lambdaEstimateText(estimateLambda(std::vector<double>{1, 2, 4})).substr(0, 16),
              "最尤λ = 0.000");

    EXPECT_EQ(nearestTableRow(-0.035), 10);  // λ = 0
    EXPECT_EQ(nearestTableRow(0.525), 15);   // λ = 0.5
    EXPECT_EQ(nearestTableRow(-1), 0);
    EXPECT_EQ(nearestTableRow(3), 40);
}

TEST(LambdaEstimate, ReadsTheValuesTheTableDescribes) {
    AnalysisStore store;
    testing::load(store, kGamma60);
    const auto fromStore = estimateLambda(store);
    ASSERT_TRUE(fromStore);
    EXPECT_NEAR(fromStore->lambda, 0.5251729819, 5e-6);
    store.WorkCount = 2;
    EXPECT_FALSE(estimateLambda(store));
}

}  // namespace
}  // namespace kijunchi

#include "report/normality.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "analysis/checked.h"
#include "analysis/number_text.h"
#include "analysis/store.h"
#include "report/sig_round.h"

namespace kijunchi {
namespace {

TEST(ZVerdict, TheLastThresholdStrictlyExceededDecides) {
    const std::pair<double, std::string> cases[] = {
        {1.96, "P>0.05で正規性を棄却することができない。"},  // equal is not greater
        {1.961, "Z1=1.961 > Z=1.96   P<0.05で正規性は棄却される。"},
        {2.6, "Z1=2.6 > Z=2.58   P<0.01で正規性は棄却される。"},
        {3.944, "Z1=3.944 > Z=3.29   P<0.001で正規性は棄却される。"}};
    for (const auto& [z, sentence] : cases) EXPECT_EQ(zVerdict("Z1=", z), sentence) << z;
}

TEST(NormalCdf, AgreesWithTheNormalDistributionWithinThePolynomialsError) {
    // Reference values from erfc; the polynomial's own error is below 1.5e-7.
    EXPECT_EQ(normalCdf(0), 0.5);  // 1 − 1/(2·1) exactly
    EXPECT_NEAR(normalCdf(1.96), 0.9750021048517795, 2e-7);
    EXPECT_NEAR(normalCdf(-2.5), 0.006209665325776139, 2e-7);
}

TEST(ChiSquareCritical, MatchesThePublishedTableAtFivePercent) {
    // Published chi-square table, upper 5% points, 4 significant digits.
    const std::pair<int, const char*> cases[] = {{1, "3.841"}, {2, "5.991"},  {3, "7.815"},
                                                 {5, "11.07"}, {10, "18.31"}, {30, "43.77"}};
    for (const auto& [nu, value] : cases)
        EXPECT_EQ(numberText(SigRound(chiSquareCritical(nu, 0.05), 4)), value) << "nu " << nu;
    // Well beyond 4 digits: exact quantiles 3.8414588, 5.9914645.
    EXPECT_NEAR(chiSquareCritical(1, 0.05), 3.8414588, 2e-5);
    EXPECT_NEAR(chiSquareCritical(2, 0.05), 5.9914645, 1e-6);
}

TEST(ChiSquareCritical, AgreesToAMillionthWithAnIndependentComputation) {
    // Even ν: the series is exact, so the value is the chi-square quantile itself (R:
    // qchisq(0.95, 10) = 18.3070380533, qchisq(0.95, 30) = 43.7729718257). Odd ν: the series
    // starts from the normal tail of Abramowitz and Stegun 26.2.19 and 0.398942 for 1/√(2π),
    // so the value is the root of that same series, written anew in R and solved by uniroot
    // to 1e-14 (the exact quantiles 7.8147279033 and 11.0704976935 differ by about 1e-5).
    const std::pair<int, double> cases[] = {
        {3, 7.8147149731}, {5, 11.0705003057}, {10, 18.3070380533}, {30, 43.7729718257}};
    for (const auto& [nu, value] : cases)
        EXPECT_NEAR(chiSquareCritical(nu, 0.05), value, 1e-6) << "nu " << nu;
}

TEST(ChiSquareTest, AZeroGroupedDeviationIsACalculationError) {
    AnalysisStore store;
    store.MinValue = 0;
    store.MaxValue = 4;
    store.HistClasses = 4;
    store.ClassFreq[1] = 4;  // every value in the first class (midpoint 0.5): Q = 1 − 1 = 0
    EXPECT_THROW(runChiSquareTest(store), CalcError);
}

}  // namespace
}  // namespace kijunchi

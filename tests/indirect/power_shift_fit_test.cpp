// The default indirect method on fixed-seed mixtures whose limits are known from their
// definition, and the caution of its row.
//
// The expected limits are the definition's: the non-pathological results are x = s + e^y
// (y ~ N(m, σ)) or x = m + σ·y, so the limits are s + e^(m ∓ 1.96σ) or m ∓ 1.96σ. Tolerance:
// a limit of a normal fitted to n results has the standard error 1.71σ/√n; separating the
// pathological results and estimating λ and the shift as well widens it several times (the
// benchmark in bench/indirect_score.cpp: a median deviation of about 0.1–0.3σ at n = 10⁴–10⁵
// with up to 20% pathological). A limit is allowed 0.5σ of the transformed scale.
#include "indirect/power_shift_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace kijunchi {
namespace {

constexpr double kZ = 1.959963984540054;

struct Mixture {
    const char* name;
    double shift, m, sigma;  // log-normal above the shift; shift < 0: normal with mean m
    double right, offset;    // share of pathological results above, their distance in σ
    int decimals;
};

ValueCounts draw(const Mixture& mix, int n, std::uint64_t seed) {
    std::mt19937_64 engine(seed);
    std::normal_distribution<double> z;
    std::uniform_real_distribution<double> u;
    ValueCounts counts;
    const double scale = std::pow(10.0, mix.decimals);
    for (int i = 0; i < n; ++i) {
        double y = z(engine);
        if (u(engine) < mix.right) y = mix.offset + 2 * z(engine);
        const double x =
            mix.shift < 0 ? mix.m + mix.sigma * y : mix.shift + std::exp(mix.m + mix.sigma * y);
        counts.add(std::round(x * scale) / scale);
    }
    return counts;
}

// In σ of the transformed scale, how far x lies from the true limit at zLimit.
double deviation(const Mixture& mix, double x, double zLimit) {
    const double y =
        mix.shift < 0 ? (x - mix.m) / mix.sigma : (std::log(x - mix.shift) - mix.m) / mix.sigma;
    return std::abs(y - zLimit);
}

// The default method on a sample of n results of mix, with 20 resamples for the limits'
// confidence intervals (few, to keep the tests quick).
IndirectResult estimateSample(const Mixture& mix, int n, std::uint64_t seed) {
    IndirectOptions options;
    options.resamples = 20;
    return estimateIndirect(draw(mix, n, seed), options);
}

TEST(PowerShiftFit, ShiftedAndSmallSpreadMixturesAgainstTheirTruth) {
    const Mixture mixtures[] = {
        // Lactate dehydrogenase-like: 100 + a log-normal, 10% overlapping pathological above.
        {"skewed and shifted", 100, std::log(60.0), 0.3, 0.10, 3, 0},
        // Sodium-like: N(140, 2) reported in whole numbers, 10% pathological above.
        {"small spread", -1, 140, 2, 0.10, 3, 0},
    };
    for (const auto& mix : mixtures) {
        SCOPED_TRACE(mix.name);
        const auto r = estimateSample(mix, 50000, 5);
        ASSERT_TRUE(r.estimated()) << r.refusal;
        EXPECT_EQ(r.method, IndirectMethod::PowerShift);
        EXPECT_LT(deviation(mix, r.lower, -kZ), 0.5) << r.lower;
        EXPECT_LT(deviation(mix, r.upper, kZ), 0.5) << r.upper;
        EXPECT_NEAR(r.fraction, 1 - mix.right, 0.1);
        EXPECT_LE(r.lowerCiLow, r.lower);
        EXPECT_GE(r.upperCiHigh, r.upper);
    }
    // The small spread leaves λ undetermined: said, not refused.
    const auto r = estimateIndirect(draw(mixtures[1], 50000, 5));
    EXPECT_NE(r.remark.find("λは定まりません"), std::string::npos) << r.remark;
}

// A log-normal analyte (thyrotropin-like, 0.4–4.0) under a pathological majority: 60% of the
// results 4.5σ above with twice the spread. The fit must keep the whole of its distribution
// in the results, the mass below its support's end included: a fit that could lose that mass
// took all the results as non-pathological with a distribution bounded inside them.
TEST(PowerShiftFit, APathologicalMajorityAboveLeavesTheLimits) {
    const Mixture mix{"pathological majority", 0, std::log(1.265), 0.587, 0.60, 4.5, 2};
    IndirectOptions options;
    options.resamples = -1;
    const auto r = estimatePowerShift(draw(mix, 50000, 7), options);
    ASSERT_TRUE(r.estimated()) << r.refusal;
    EXPECT_LT(deviation(mix, r.lower, -kZ), 0.5) << r.lower;
    EXPECT_LT(deviation(mix, r.upper, kZ), 0.5) << r.upper;
    EXPECT_NEAR(r.fraction, 0.4, 0.1);
}

// Pathological results that overlap the healthy ones heavily (a third of the results, 1.5σ
// above on the log scale): the upper limit cannot be separated; where it comes out more than
// 1σ off, the row carries a caution.
TEST(PowerShiftFit, AnOffLimitIsCautioned) {
    const Mixture mix{"overlapping", 0, std::log(2.0), 0.4, 0.3, 1.5, 2};
    int off = 0;
    for (std::uint64_t seed : {1, 2, 3}) {
        SCOPED_TRACE(seed);
        const auto r = estimateSample(mix, 10000, seed);
        if (!r.estimated()) continue;
        if (deviation(mix, r.upper, kZ) > 1 || deviation(mix, r.lower, -kZ) > 1) {
            ++off;
            EXPECT_EQ(r.caution.rfind("注意: ", 0), 0u) << r.upper;
        }
    }
    EXPECT_GT(off, 0) << "no sample came out off: the case tests nothing";
}

// Clean samples large enough that both limits lie within sampling error of the truth (0.02σ
// at 50 000 results): no reason to doubt either, so no caution; the share under one half is not
// said either, as the samples hold no pathological results at all.
TEST(PowerShiftFit, ACleanLargeSampleIsNotCautioned) {
    const Mixture clean[] = {
        {"log-normal", 0, std::log(30.0), 0.5, 0, 0, 0},
        {"normal", -1, 100, 10, 0, 0, 1},
    };
    for (const auto& mix : clean) {
        SCOPED_TRACE(mix.name);
        const auto r = estimateSample(mix, 50000, 11);
        ASSERT_TRUE(r.estimated()) << r.refusal;
        EXPECT_EQ(r.caution, "");
        EXPECT_FALSE(r.lowerCautioned || r.upperCautioned);
        EXPECT_EQ(r.remark.find("病的な値の割合"), std::string::npos) << r.remark;
    }
}

// A few results with a fifth pathological, all above (by construction): where the other method
// gives no estimate, the upper limit, which faces them, is cautioned as unconfirmed; the lower,
// with none beyond it, is not doubted for that.
TEST(PowerShiftFit, OnlyTheLimitFacingPathologyIsUnconfirmed) {
    const Mixture mix{"right only", 0, std::log(2.0), 0.4, 0.2, 4, 2};
    const std::string unconfirmed = "は結果が少なく、もう一つの方法で確かめられません";
    int unchecked = 0;
    for (std::uint64_t seed : {1, 2, 3, 4, 5, 6}) {
        SCOPED_TRACE(seed);
        const auto r = estimateSample(mix, 1500, seed);
        if (!r.estimated() || !r.samplingOnly) continue;
        ++unchecked;
        EXPECT_NE(r.caution.find("上限" + unconfirmed), std::string::npos) << r.caution;
        EXPECT_EQ(r.caution.find("下限"), std::string::npos) << r.caution;
    }
    EXPECT_GT(unchecked, 0) << "the other method estimated every sample: the case tests nothing";
}

// The resampled 90% intervals against the sampling error of a normal percentile: μ ± 1.96σ
// estimated from n normal results has the standard error σ·√((1 + 1.96²/2)/n) (the asymptotic
// variance of the mean plus 1.96 times the SD), so the half width 1.645 times that. The
// intervals, before the check against the other method widens them, lie within ½–4 times it:
// clean samples (the fit estimates λ and the shift as well, so somewhat wider), and at 10⁵
// results a fifth pathological 4.5σ above, where the fit's core reaches the shoulder and every
// refit came back to the same class edge (its upper interval was 20 times too narrow).
TEST(PowerShiftFit, ResampledIntervalsHoldTheSamplingError) {
    struct Case {
        int n;
        double right;
    } const cases[] = {{1000, 0}, {10000, 0}, {100000, 0}, {100000, 0.2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.n << " results, " << 100 * c.right << "% pathological");
        const Mixture mix{"haemoglobin-like", -1, 14, 1, c.right, 4.5, 1};
        const auto r = estimatePowerShift(draw(mix, c.n, 3));
        ASSERT_TRUE(r.estimated()) << r.refusal;
        const double expected =
            1.6448536269514722 * mix.sigma * std::sqrt((1 + kZ * kZ / 2) / ((1 - c.right) * c.n));
        for (const double half :
             {(r.lowerCiHigh - r.lowerCiLow) / 2, (r.upperCiHigh - r.upperCiLow) / 2}) {
            EXPECT_GE(half, 0.5 * expected);
            EXPECT_LE(half, 4 * expected);
        }
    }
}

}  // namespace
}  // namespace kijunchi

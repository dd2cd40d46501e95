// The caution on a negative λ against log-normal samples whose limits are known from their
// definition: the non-pathological results are e^(m + σz), so the true limits are e^(m ∓ 1.96σ)
// and a limit's deviation is |ln x − m|/σ − 1.96 in units of that σ. The pathological results
// are e^(m + σ(offset + spread·z)). A limit off by more than one unit or 20% of the true width
// must carry a caution; one within both, pulled by an overlapping shoulder as any separation
// is, must not be cautioned for the shoulder alone.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "indirect/indirect_estimate.h"

namespace kijunchi {
namespace {

constexpr double kZ = 1.959963984540054;
const std::string kBent = "λが負で、右側の病的な値の肩に引かれている恐れがあります";

struct Case {
    const char* name;
    IndirectMethod method;
    double m, sigma;               // the log-normal's parameters
    double share, offset, spread;  // the pathological results above
    int n;                         // results, rounded to 0.1
    std::uint64_t seed, seeds;     // samples from seeds seed, seed + 1, …
    bool farAbove;  // the upper limit comes out more than one unit or 20% of the width too high
};

ValueCounts draw(const Case& c, std::uint64_t seed) {
    std::mt19937_64 engine(seed);
    std::normal_distribution<double> z;
    std::uniform_real_distribution<double> u;
    ValueCounts counts;
    for (int i = 0; i < c.n; ++i) {
        double y = z(engine);
        if (u(engine) < c.share) y = c.offset + c.spread * z(engine);
        counts.add(std::round(std::exp(c.m + c.sigma * y) * 10) / 10);
    }
    return counts;
}

TEST(IndirectCaution, ANegativeLambdaIsCautionedWhereItPutsTheUpperLimitFarOff) {
    using enum IndirectMethod;
    const double m = std::log(100.0);  // CV 15%: true limits 74.5 and 134.2
    const Case cases[] = {
        // Clean: the limits lie within sampling error of the truth.
        {"clean log-normal", PowerShift, m, 0.15, 0, 0, 0, 10000, 1, 3, false},
        // 15% overlapping results 3σ above: the truncated fit bends λ to about −0.45 and both
        // methods' upper limits move out by about half a unit, not one.
        {"15% shoulder", Truncated, m, 0.15, 0.15, 3, 1.5, 10000, 1, 3, false},
        {"15% shoulder", PowerShift, m, 0.15, 0.15, 3, 1.5, 10000, 1, 3, false},
        // 10% of 1000 results 3σ above: λ = −0.89 put the upper limit 25% of the width (0.7
        // units) too high; fitted again with the shoulder, it comes within.
        {"10% shoulder, 1000 results", PowerShift, m, 0.15, 0.1, 3, 1.5, 1000, 1063, 1, false},
        // 30% results 2.5σ above, a wide log-normal (9.2–79.7): the truncated fit takes much
        // of the shoulder in with λ = −0.33 and −0.46 and its upper limit comes out 2–2.4 units
        // too high.
        {"30% shoulder, σ 0.5", Truncated, std::log(30.0), 0.5, 0.3, 2.5, 1, 10000, 1001, 1, true},
        {"30% shoulder, σ 0.5", Truncated, std::log(30.0), 0.5, 0.3, 2.5, 1, 10000, 1006, 1, true},
    };
    int bent = 0;
    for (const Case& c : cases) {
        for (std::uint64_t seed = c.seed; seed < c.seed + c.seeds; ++seed) {
            SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed));
            IndirectOptions options;
            options.method = c.method;
            options.resamples = -1;
            const auto r = estimateIndirect(draw(c, seed), options);
            ASSERT_TRUE(r.estimated()) << r.refusal;
            ASSERT_EQ(r.method, c.method) << r.caution;
            const double upperOff = (std::log(r.upper) - c.m) / c.sigma - kZ;
            const double trueUpper = std::exp(c.m + kZ * c.sigma);
            const double ofWidth =
                (r.upper - trueUpper) / (trueUpper - std::exp(c.m - kZ * c.sigma));
            bent += r.lambda < -0.3;
            if (c.farAbove) {
                ASSERT_TRUE(upperOff > 1 || ofWidth > 0.2)
                    << "the case no longer tests a far limit";
                EXPECT_TRUE(r.upperCautioned) << r.caution;
                EXPECT_NE(r.caution.find(kBent), std::string::npos) << r.caution;
            } else {
                EXPECT_LT(std::abs(upperOff), 1) << r.upper;
                EXPECT_LT(std::abs(ofWidth), 0.2) << r.upper;
                EXPECT_EQ(r.caution.find(kBent), std::string::npos) << r.caution;
            }
        }
    }
    // A λ below −0.3 was cautioned before whatever its effect on the limit.
    EXPECT_GE(bent, 3) << "too few fits bent λ: the cases test little";
}

// The fits of the 15% shoulder above (10⁴ results) that bent λ below 0 so far that the caution
// named the upper limit (seeds 25, 34, 116, 119: λ −0.81 to −0.93, the upper limit 0.70–0.89
// units too high) or λ reached −1 (seeds 73, 79: 0.67 and 0.73 units): the default method fits
// them again with the shoulder as a normal of its own on the transformed scale, and the upper
// limit comes within 0.3 units, with no caution.
TEST(IndirectCaution, AShoulderThatBendsLambdaIsFittedAsAShoulder) {
    const Case c{"15% shoulder",
                 IndirectMethod::PowerShift,
                 std::log(100.0),
                 0.15,
                 0.15,
                 3,
                 1.5,
                 10000,
                 0,
                 0,
                 false};
    for (std::uint64_t seed : {25, 34, 73, 79, 116, 119}) {
        SCOPED_TRACE(seed);
        IndirectOptions options;
        options.resamples = -1;
        const auto r = estimateIndirect(draw(c, seed), options);
        ASSERT_TRUE(r.estimated()) << r.refusal;
        EXPECT_LT(std::abs((std::log(r.upper) - c.m) / c.sigma - kZ), 0.3) << r.upper;
        EXPECT_LT(std::abs((std::log(r.lower) - c.m) / c.sigma + kZ), 0.3) << r.lower;
        EXPECT_EQ(r.caution, "");
    }
}

TEST(IndirectCaution, AShoulderTakenInWithAPositiveLambdaIsCautioned) {
    const std::string shoulder = "上限は右側の病的な値の肩を取り込んでいる恐れがあります";
    const double wide = std::log(30.0),
                 narrow = std::log(100.0);  // true limits 9.25–97.3, 74.5–134.2
    // farAbove: the default method (60 resamples) takes the shoulder in with λ ≥ 0, a shift and
    // P over 0.9: upper limits about 1.5 units (30% 2σ above, log-scale SD 0.6) and 3.5 units
    // (40% 3σ above of 1000 results) too high, which no other reason named.
    const Case cases[] = {
        {"30% shoulder 2σ, σ 0.6", IndirectMethod::PowerShift, wide, 0.6, 0.3, 2, 1, 10000, 1002, 2,
         true},
        {"40% shoulder 3σ, 1000", IndirectMethod::PowerShift, narrow, 0.15, 0.4, 3, 1.5, 1000, 1005,
         1, true},
        {"clean, σ 0.6", IndirectMethod::PowerShift, wide, 0.6, 0, 0, 0, 10000, 1, 2, false},
        {"clean, σ 0.6, 1000", IndirectMethod::PowerShift, wide, 0.6, 0, 0, 0, 1000, 1, 2, false},
    };
    for (const Case& c : cases) {
        for (std::uint64_t seed = c.seed; seed < c.seed + c.seeds; ++seed) {
            SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed));
            IndirectOptions options;
            options.resamples = c.farAbove ? 0 : -1;
            const auto r = estimateIndirect(draw(c, seed), options);
            ASSERT_TRUE(r.estimated()) << r.refusal;
            const double upperOff = (std::log(r.upper) - c.m) / c.sigma - kZ;
            if (c.farAbove) {
                ASSERT_GT(upperOff, 1) << "the case no longer tests a far limit";
                EXPECT_TRUE(r.upperCautioned) << r.caution;
                EXPECT_NE(r.caution.find(shoulder), std::string::npos) << r.caution;
            } else {
                EXPECT_LT(std::abs(upperOff), 0.5) << r.upper;
                EXPECT_EQ(r.caution.find(shoulder), std::string::npos) << r.caution;
            }
        }
    }
}

}  // namespace
}  // namespace kijunchi

// The chart of a partition: the fitted density scaled to the non-pathological results, every
// measured result in a class or counted outside, and nothing fitted where nothing was estimated.
#include "indirect/indirect_chart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kijunchi {
namespace {

// A fit of N(100, 10) (λ = 1) to 80% of total results: the limits 100 ∓ 1.96·10, truncated at
// 100 ∓ cut, the limits' intervals unknown.
IndirectResult normalFit(std::int64_t total, double cut) {
    IndirectResult fit;
    fit.total = total;
    fit.lambda = 1;
    fit.mu = 100;
    fit.sigma = 10;
    fit.fraction = 0.8;
    fit.lower = 80.4;
    fit.upper = 119.6;
    fit.lowerTruncation = 100 - cut;
    fit.upperTruncation = 100 + cut;
    fit.lowerCiLow = fit.lowerCiHigh = fit.upperCiLow = fit.upperCiHigh = NAN;
    return fit;
}

TEST(IndirectChart, TheDensityRunsOverTheBarsOfItsShare) {
    // 1000 results on 0.1 steps from 60 to 140; a fit x ~ N(100, 10) (λ = 1) of 80% of them.
    ValueCounts counts;
    for (int i = 0; i < 1000; ++i) counts.add(std::round(600 + 800.0 * i / 999) / 10);
    counts.addCensored(true, 5, 3);
    IndirectResult fit = normalFit(1003, 30);
    IndirectResult refused = fit;
    refused.refusal = "推定できません: 試し";

    for (const auto* r : {&fit, &refused}) {
        const auto m = indirectChart(counts, *r);
        ASSERT_TRUE(m);
        std::int64_t drawn = m->outside;
        for (const auto& b : m->bars) drawn += b.count;
        EXPECT_EQ(drawn, 1000);
        EXPECT_EQ(m->censored, 3);
        if (r == &refused) {
            EXPECT_TRUE(m->density.empty());
            EXPECT_TRUE(m->limits.empty());
            EXPECT_FALSE(m->lowerTruncation);
            continue;
        }
        // At the mean the normal density is 1/(σ√(2π)); times 0.8 · 1003 results and the width.
        const double width = m->bars[0].to - m->bars[0].from;
        double peak = 0;
        for (const auto& p : m->density) peak = std::max(peak, p.y);
        EXPECT_NEAR(peak, 0.8 * 1003 * width / (10 * std::sqrt(2 * std::numbers::pi)), 1e-3 * peak);
        // Classes a whole number of the results' 0.1 steps wide, their edges between values.
        const auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6; };
        EXPECT_TRUE(whole(width * 10)) << width;
        EXPECT_TRUE(whole(m->bars[0].from * 10 + 0.5)) << m->bars[0].from;
        ASSERT_EQ(m->limits.size(), 2u);
        EXPECT_FALSE(m->limits[0].ciLow);
        EXPECT_EQ(*m->upperTruncation, 130);
    }
}

// 8000 results of N(100, 10) on whole numbers and 2000 pathological ones spread evenly over
// 150 to 1149: the axis spans the fit's 0.05th to 99.95th percentiles (100 ± 32.9), not the
// tail, which is counted above the chart; the limits 80.4 .. 119.6 are some 24 classes apart.
TEST(IndirectChart, APathologicalTailDoesNotStretchTheAxis) {
    ValueCounts counts;
    for (int i = 0; i < 8000; ++i) {
        // The normal quantile of (i + 0.5)/8000 by bisection on erfc.
        const double p = (i + 0.5) / 8000;
        double a = -6, b = 6;
        for (int k = 0; k < 60; ++k) {
            const double z = (a + b) / 2;
            (0.5 * std::erfc(-z / std::numbers::sqrt2) < p ? a : b) = z;
        }
        counts.add(std::round(100 + 10 * a));
    }
    for (int i = 0; i < 2000; ++i) counts.add(150 + i / 2);
    IndirectResult fit = normalFit(10000, 25);
    fit.lowerCiLow = 79, fit.lowerCiHigh = 81.5, fit.upperCiLow = 118.5, fit.upperCiHigh = 121;
    const auto m = indirectChart(counts, fit);
    ASSERT_TRUE(m);
    EXPECT_LE(m->valueAxis.max, 140);
    EXPECT_GE(m->valueAxis.min, 60);
    EXPECT_LE(m->bars.front().from, 100 - 32.9);
    EXPECT_GE(m->bars.back().to, 100 + 32.9);
    std::int64_t drawnTail = 0;
    for (const auto& b : m->bars)
        if (b.from >= 150) drawnTail += b.count;
    EXPECT_EQ(drawnTail, 0);
    EXPECT_GE(m->outsideAbove, 2000);
    EXPECT_EQ(m->outside, m->outsideAbove + m->outsideBelow);
    EXPECT_LE(m->outside, 2000 + 8);  // beyond ±3.29σ: 0.1% of 8000
    const double width = m->bars[0].to - m->bars[0].from;
    EXPECT_GE((fit.upper - fit.lower) / width, 15) << width;
}

}  // namespace
}  // namespace kijunchi

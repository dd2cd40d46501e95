// The chart of a partition: the fitted density scaled to the non-pathological results, every
// measured result in a class or counted outside, and nothing fitted where nothing was estimated.
#include "indirect/indirect_chart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kijunchi {
namespace {

TEST(IndirectChart, TheDensityRunsOverTheBarsOfItsShare) {
    // 1000 results on 0.1 steps from 60 to 140; a fit x ~ N(100, 10) (λ = 1) of 80% of them.
    ValueCounts counts;
    for (int i = 0; i < 1000; ++i) counts.add(std::round(600 + 800.0 * i / 999) / 10);
    counts.addCensored(true, 5, 3);
    IndirectResult fit;
    fit.total = 1003;
    fit.lambda = 1;
    fit.mu = 100;
    fit.sigma = 10;
    fit.fraction = 0.8;
    fit.lower = 80.4;
    fit.upper = 119.6;
    fit.lowerTruncation = 70;
    fit.upperTruncation = 130;
    fit.lowerCiLow = fit.lowerCiHigh = fit.upperCiLow = fit.upperCiHigh = NAN;
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

}  // namespace
}  // namespace kijunchi

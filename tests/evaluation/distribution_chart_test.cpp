#include "evaluation/distribution_chart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "support/data_set.h"

namespace kijunchi {
namespace {

// Σ y·dx over the density's points (trapezoids): the scaled density holds n·width.
double area(const std::vector<CurvePoint>& curve) {
    double sum = 0;
    for (std::size_t i = 1; i < curve.size(); ++i)
        sum += (curve[i].x - curve[i - 1].x) * (curve[i].y + curve[i - 1].y) / 2;
    return sum;
}

TEST(ChartAxis, EndsOnRoundTicks) {
    const ChartAxis a = niceAxis(8.75, 10.95, 8);  // 2.2/8 = 0.275 → steps of 0.5
    EXPECT_DOUBLE_EQ(a.tickStep, 0.5);
    EXPECT_DOUBLE_EQ(a.min, 8.5);
    EXPECT_DOUBLE_EQ(a.max, 11);
    ASSERT_EQ(a.ticks.size(), 6u);
    EXPECT_DOUBLE_EQ(a.ticks[3], 10);
    const ChartAxis counts = niceAxis(0, 70.35, 6);  // 11.7 → 20
    EXPECT_EQ(counts.ticks, (std::vector<double>{0, 20, 40, 60, 80}));
    const ChartAxis around = niceAxis(-2.8, 2.8, 6);  // 0.93 → 1; no "-0" tick
    EXPECT_EQ(around.ticks, (std::vector<double>{-3, -2, -1, 0, 1, 2, 3}));
    EXPECT_FALSE(std::signbit(around.ticks[3]));
}

TEST(HistogramChart, CalciumClassesFollowTheDataStep) {
    // 240 values on a 0.1 mg/dL grid from 8.8 to 10.6: Sturges' 9 classes want 0.2, two steps,
    // the first edge at 8.75. Counts by R: table(cut(x, seq(8.75, 10.95, 0.2), right = FALSE)).
    ChartInput input;
    input.measured = testing::testDataValues("calcium_240.txt");
    input.limits = {{LimitKind::Nonparametric, 9.1, 8.9, 9.2},
                    {LimitKind::Nonparametric, 10.3, 10.3, 10.4},
                    {LimitKind::Parametric, 9.05, 8.99, 9.12},
                    {LimitKind::Parametric, 10.32, 10.25, 10.38}};
    const auto chart = histogramChart(input);
    ASSERT_TRUE(chart);
    const std::vector<int> counts = {3, 6, 31, 41, 67, 45, 22, 23, 1, 1};
    ASSERT_EQ(chart->bars.size(), counts.size());
    for (std::size_t i = 0; i < counts.size(); ++i) {
        EXPECT_NEAR(chart->bars[i].from, 8.75 + 0.2 * static_cast<double>(i), 1e-9) << i;
        EXPECT_NEAR(chart->bars[i].to - chart->bars[i].from, 0.2, 1e-9);
        EXPECT_EQ(chart->bars[i].count, counts[i]) << i;
    }
    // R: mean 9.684167, sd 0.3229041.
    EXPECT_NEAR(chart->mean, 9.684167, 1e-6);
    EXPECT_NEAR(chart->sd, 0.3229041, 1e-7);
    // The axes take in every bar, every limit and its interval; counts start at 0 and reach
    // above the tallest bar (67).
    EXPECT_LE(chart->valueAxis.min, 8.75);
    EXPECT_GE(chart->valueAxis.max, 10.75);
    EXPECT_EQ(chart->countAxis.min, 0);
    EXPECT_GE(chart->countAxis.max, 67);
    ASSERT_EQ(chart->limits.size(), 4u);
    EXPECT_EQ(chart->limits[2].kind, LimitKind::Parametric);
    EXPECT_EQ(chart->limits[2].value, 9.05);
    EXPECT_EQ(chart->limits[3].ciHigh, 10.38);
    // The density is the normal's times n·width: its peak n·w/(s·√2π) = 59.31 at the mean,
    // its area n·w = 48.
    double peak = 0, at = 0;
    for (const CurvePoint& p : chart->density)
        if (p.y > peak) peak = p.y, at = p.x;
    EXPECT_NEAR(peak, 240 * 0.2 / (0.3229041 * std::sqrt(2 * M_PI)), 0.01);
    EXPECT_NEAR(at, 9.684167, (chart->valueAxis.max - chart->valueAxis.min) / 200);
    EXPECT_NEAR(area(chart->density), 48, 0.05);
}

TEST(HistogramChart, TransformedDataGetTheDensityCarriedBack) {
    // skewed_25 on a 0.1 grid, 3.1 .. 17.5: 14.4/6 → classes of 2 from 3.05. Counts by R.
    // With λ = 0 the fitted normal lies on ln x (R: mean 1.76937610612, sd 0.435604056173);
    // carried back it is the lognormal density, whose mode is exp(m − s²) = 4.85313657478.
    ChartInput input;
    input.measured = testing::testDataValues("skewed_25.txt");
    input.lambda = 0;
    const auto chart = histogramChart(input);
    ASSERT_TRUE(chart);
    const std::vector<int> counts = {11, 7, 3, 1, 1, 1, 0, 1};
    ASSERT_EQ(chart->bars.size(), counts.size());
    for (std::size_t i = 0; i < counts.size(); ++i) EXPECT_EQ(chart->bars[i].count, counts[i]);
    EXPECT_NEAR(chart->mean, 1.76937610612, 1e-9);
    EXPECT_NEAR(chart->sd, 0.435604056173, 1e-9);
    double peak = 0, at = 0;
    for (const CurvePoint& p : chart->density)
        if (p.y > peak) peak = p.y, at = p.x;
    EXPECT_NEAR(at, 4.85313657478, (chart->valueAxis.max - chart->valueAxis.min) / 200);
    EXPECT_NEAR(area(chart->density), 25 * 2.0, 0.5);  // nearly all the mass is on the axis
    EXPECT_TRUE(chart->limits.empty());

    input.measured.push_back(-1);  // no logarithm
    EXPECT_FALSE(histogramChart(input));
    EXPECT_FALSE(qqPlot(input));
}

TEST(QqPlot, ScoresValuesAndTheLineThroughTheQuartiles) {
    // R: qnorm((1 − 0.375)/240.25) = −2.79419474026511; qqline: slope = IQR/(z.75 − z.25)
    // = 0.296520443701, intercept 9.7 (quantile type 7).
    ChartInput input;
    input.measured = testing::testDataValues("calcium_240.txt");
    const auto qq = qqPlot(input);
    ASSERT_TRUE(qq);
    ASSERT_EQ(qq->points.size(), 240u);
    EXPECT_NEAR(qq->points.front().x, -2.79419474026511, 1e-12);
    EXPECT_NEAR(qq->points.back().x, 2.79419474026511, 1e-12);
    EXPECT_EQ(qq->points.front().y, 8.8);
    EXPECT_EQ(qq->points.back().y, 10.6);
    EXPECT_NEAR(qq->slope, 0.296520443701, 1e-10);
    EXPECT_NEAR(qq->intercept, 9.7, 1e-10);
    EXPECT_FALSE(qq->transformed);
    EXPECT_LE(qq->scoreAxis.min, -2.79419474026511);
    EXPECT_GE(qq->valueAxis.max, 10.6);

    // Transformed: the plot is of ln x. R: qqline of log(x) gives 0.365073364684, 1.72784278347.
    input.measured = testing::testDataValues("skewed_25.txt");
    input.lambda = 0;
    const auto logs = qqPlot(input);
    ASSERT_TRUE(logs);
    EXPECT_TRUE(logs->transformed);
    EXPECT_NEAR(logs->points.front().y, std::log(3.1), 1e-12);
    EXPECT_NEAR(logs->slope, 0.365073364684, 1e-10);
    EXPECT_NEAR(logs->intercept, 1.72784278347, 1e-10);
}

}  // namespace
}  // namespace kijunchi

#pragma once
// What the evaluation's two charts show, worked out without any drawing: the histogram of the
// values as measured with the fitted normal density scaled to counts and the reference limits
// with their confidence intervals, and the normal Q-Q plot with its reference line. The window
// turns these models into charts; tests read them.
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kijunchi {

// An axis from min to max with ticks at round numbers (1, 2 or 5 times a power of ten).
struct ChartAxis {
    double min = 0;
    double max = 1;
    double tickStep = 1;
    std::vector<double> ticks;  // min ≤ tick ≤ max
};

// Round ticks covering low .. high, about `wanted` of them; the axis ends on ticks.
ChartAxis niceAxis(double low, double high, int wanted);

// The classes of the histogram: the round width (1, 2 or 5 times a power of ten) nearest to
// range/(log2 n + 1), made a whole multiple of the data's own step when the values lie on one
// (such as 0.1 mg/dL), with the first edge half a step below the smallest value so that no
// value sits on an edge; otherwise the edges are multiples of the width.
std::vector<struct HistogramBar> histogramBars(std::span<const double> sorted);

struct HistogramBar {
    double from = 0;  // the class holds from ≤ x < to
    double to = 0;
    int count = 0;
};

enum class LimitKind { Nonparametric, Parametric };

// A reference limit with its 90% confidence interval, on the measurement scale.
struct LimitInput {
    LimitKind kind = LimitKind::Nonparametric;
    double value = 0;
    std::optional<double> ciLow, ciHigh;
};

struct ChartInput {
    std::vector<double> measured;  // the values as measured
    // Set for a transformed data set: the fitted normal lies on the transformed scale, and the
    // density is carried back to the measurement scale.
    std::optional<double> lambda;
    std::vector<LimitInput> limits;
};

struct CurvePoint {
    double x = 0;
    double y = 0;
};

struct HistogramChartModel {
    std::vector<HistogramBar> bars;
    ChartAxis valueAxis;  // horizontal: the measurement scale
    ChartAxis countAxis;  // vertical: counts, from 0
    // The fitted normal density (or its image under the inverse transformation) times n times
    // the class width, so that it runs over the bars.
    std::vector<CurvePoint> density;
    std::vector<LimitInput> limits;  // the limits that lie on the chart
    double mean = 0, sd = 0;         // of the fitted normal, on its own scale
    bool transformed = false;        // the normal was fitted to the transformed values
};

struct QqPlotModel {
    std::vector<CurvePoint> points;   // (normal score, value), ascending
    double intercept = 0, slope = 0;  // the reference line value = intercept + slope·score
    ChartAxis scoreAxis;
    ChartAxis valueAxis;
    bool transformed = false;  // the values are the transformed ones
};

// nullopt when fewer than 3 values, all equal, or a transformed value is undefined.
std::optional<HistogramChartModel> histogramChart(const ChartInput& input);
// The Q-Q plot of the values the parametric method used (transformed when λ is set).
std::optional<QqPlotModel> qqPlot(const ChartInput& input);

}  // namespace kijunchi

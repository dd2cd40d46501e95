#pragma once
// What the chart of one partition of the indirect method shows, worked out without drawing:
// the histogram of all its measured results, the fitted non-pathological density scaled to its
// share of the results, the truncation points, and the limits with their 90% intervals. The
// window draws it; tests read it.
#include <cstdint>
#include <optional>
#include <vector>

#include "evaluation/distribution_chart.h"
#include "indirect/truncated_fit.h"
#include "indirect/value_counts.h"

namespace kijunchi {

struct IndirectChartModel {
    std::vector<HistogramBar> bars;
    ChartAxis valueAxis;  // horizontal: the measurement scale
    ChartAxis countAxis;  // vertical: results per class, from 0
    // The fitted density times the non-pathological results (fraction × total) times the class
    // width, so that it runs over the bars; empty where the partition was not estimated.
    std::vector<CurvePoint> density;
    std::optional<double> lowerTruncation, upperTruncation;  // where estimated
    std::vector<LimitInput> limits;                          // where estimated, with intervals
    // Measured results beyond the chart's range (the outermost half percent on either side,
    // unless a limit or truncation point lies further out), and censored results: not drawn.
    std::int64_t outside = 0, censored = 0;
};

// nullopt where the partition has fewer than two distinct measured values.
std::optional<IndirectChartModel> indirectChart(const ValueCounts& counts,
                                                const IndirectResult& result);

}  // namespace kijunchi

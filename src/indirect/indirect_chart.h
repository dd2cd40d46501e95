#pragma once
// What the chart of one partition of the indirect method shows, worked out without drawing:
// the histogram of its measured results, the fitted non-pathological density scaled to its
// share of the results, the truncation points, and the limits with their 90% intervals. The
// window draws it; tests read it.
//
// The horizontal axis spans the non-pathological distribution with its tails (where it was
// fitted: its 0.05th to 99.95th percentiles, and every truncation point, limit and interval),
// so that a long pathological tail does not squeeze the peak into a few classes; the results
// beyond are counted below and above the chart, not drawn. About 48 classes span the axis
// (fewer for fewer than 4000 results), never narrower than the results' own step, so that the
// peak has some twenty or more.
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
    // Measured results beyond the classes (below the first's start, at or above the last's end;
    // outside is their sum), and censored results: not drawn.
    std::int64_t outsideBelow = 0, outsideAbove = 0, outside = 0, censored = 0;
};

// nullopt where the partition has fewer than two distinct measured values.
std::optional<IndirectChartModel> indirectChart(const ValueCounts& counts,
                                                const IndirectResult& result);

}  // namespace kijunchi

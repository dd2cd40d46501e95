#pragma once
// The indirect method's second way of separating the non-pathological results: the truncated
// power-normal fit whose truncation points
// are chosen by the Kolmogorov–Smirnov distance (Zierk J. et al., Sci Rep 2020;10:1704).
//
// For every pair of truncation points T1 < T2 on a grid of the results' quantiles, a power-
// normal distribution (the program's modified power transformation, then normal) is fitted by
// maximum likelihood to the results between T1 and T2 alone, its density divided by its mass
// between them. The results are binned by their distinct values (each value stands for the
// interval halfway to its neighbours, as rounding makes it), so the likelihood is a product of
// interval probabilities and its cost does not grow with the number of results. Each fit is
// judged by its Kolmogorov–Smirnov distance D to the results between its truncation points:
// of the windows whose statistic √n·D stays below 1 (a fit the data do not reject), the widest
// gives λ, μ and σ; where none passes, the one of least statistic does. (The paper minimises D
// itself; on its own that favours narrow windows, whose long extrapolation to the percentiles
// is what the benchmark found least accurate.) The limits are the 2.5th and 97.5th percentiles of
// that distribution, and the non- pathological fraction is the results between T1 and T2 over the
// total times the fitted mass between them. Results reported only as below or above a limit count
// in the total and in the quantiles but never lie between the truncation points.
#include "indirect/indirect_estimate.h"
#include "indirect/value_counts.h"

namespace kijunchi {

// The truncated fit alone, without the checks. Never throws: a calculation error becomes the
// partition's refusal.
IndirectResult estimateTruncated(const ValueCounts& counts, const IndirectOptions& options = {});

}  // namespace kijunchi

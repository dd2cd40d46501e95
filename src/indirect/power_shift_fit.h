#pragma once
// The indirect method's default way of separating the non-pathological results, built from the
// description of Ammer T. et al., Sci Rep 2021;11:16023: the non-pathological results are a
// power-normal distribution with a shift (the Box–Cox transformation of x − s is normal, so that
// skewed distributions that start well above zero are fitted too), fitted to the histogram of
// all results around its main peak, the pathological results being what the fit leaves over.
//
// The histogram: the distinct values (each standing for the interval halfway to its neighbours, as
// rounding makes it) pooled into at most 150 classes of similar counts, each of at least 15 results
// (where there are 30 distinct values or more), with a class below and one above them that hold the
// results outside (censored ones included, and the fitted mass beyond the support's end). For
// parameters λ, s, μ, σ and the non-pathological share P, class k expects e_k = P·N·p_k results,
// p_k its probability under the power-normal. Pathological results can only add to a class, never
// take away, so the cost of a class is asymmetric: where it holds fewer results than expected, the
// whole Poisson deviance d_k = 2(n_k ln(n_k/e_k) − n_k + e_k); where it holds more and lies outside
// the core of the fit (2σ either side of the centre on the transformed scale) and outside the
// data's main peak (the narrowest run of classes holding 10% of the results, unless it is a pile at
// an end of the results), the deviance bounded by c(1 − e^(−d_k/c)) with c = 2, the price of a
// class left to the pathological results. Within the core and the main peak a class pays its
// whole deviance either way, as the pathological results are taken to be few under the main peak,
// and P is taken to be at least 0.3. The sum over all classes is minimised: a model that
// promises more than a class holds (a peak too tall, tails beyond the results) pays in full, a
// class left over pays little. The peak region is thus the classes the fit explains, chosen by
// the cost itself.
//
// The search: for λ ∈ {0, ⅓, ⅔, 1} and s ∈ {0, ½, 0.9} × the median, μ, σ and P by a simplex
// search; from the three best of those twelve, all five together. Where the best fit has λ < 0
// that puts its upper limit more than 0.4σ beyond the log-normal through its shift, median and
// lower limit, it has taken a pathological shoulder on the right into its upper tail (the
// shoulder's results inside the core pay as non-pathological ones): the three are fitted again
// with the shoulder as a normal component of its own on the transformed scale (1–6σ above μ, an
// SD of 0.3–3σ, a share of at most 1 − P), whose expected results add to each class's e_k. The
// limits are the 2.5th and 97.5th percentiles of the fitted distribution. The 90% intervals are
// percentiles of the limits over multinomial resamples of the classes, each fitted again from the
// estimate, and reach at least as far as the sampling error of a normal percentile from the fitted
// number of non-pathological results (the refits alone can come back to the same class edge).
#include "indirect/indirect_estimate.h"
#include "indirect/value_counts.h"

namespace kijunchi {

// Laboratory analytes are rarely more skewed than log-normal, so a negative λ may be bent by a
// pathological shoulder on the right that the fit took in (which leaves few results beyond the
// upper limit). What the bend does to the upper limit is measured against the log-normal (λ = 0)
// that has the fit's shift, median and lower limit, the half of the fit such a shoulder does not
// reach: the row's caution, and the power-shift fit's refit with the shoulder as a component of
// its own, where the upper limit lies more than this many units beyond that log-normal's. The same
// λ matters little where the spread is small and much where it is large. With the shoulder's pull
// on the fitted spread besides (0.2–0.3 units in the simulations), a bend beyond this puts the
// limit past 20% of the true width at a CV of 15% (0.57 units above); overlapping results that bent
// λ to −0.5 at that CV moved it by 0.15–0.35 units.
inline constexpr double kBentUpper = 0.4;

// The shifted power-normal fit alone, without the checks. Never throws.
IndirectResult estimatePowerShift(const ValueCounts& counts, const IndirectOptions& options = {});

}  // namespace kijunchi

#include "evaluation/evaluation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <span>

#include "analysis/checked.h"
#include "analysis/number_text.h"
#include "analysis/statistics.h"
#include "evaluation/lambda_estimate.h"

namespace kijunchi {

namespace {

std::vector<double> ascending(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values;
}

// From the values in ascending order.
NonparametricEstimate nonparametric(std::span<const double> sorted) {
    NonparametricEstimate estimate;
    const int n = static_cast<int>(sorted.size());
    if (n < 2) return estimate;
    try {
        // Exactly as the statistics report takes them: through its general number text.
        estimate.lower.value = Value(numberText(PercentileOfSorted(sorted, 2.5))).toNumber();
        estimate.upper.value = Value(numberText(PercentileOfSorted(sorted, 97.5))).toNumber();
    } catch (const CalcError&) {
        return estimate;
    }
    estimate.available = true;
    estimate.extrapolated = n < kNonparametricWithinDataCount;
    estimate.ranks = lowerLimitRanks(n);
    if (estimate.ranks) {
        // Ranks count from 1.
        const auto at = [&](int rank) { return sorted[static_cast<std::size_t>(rank - 1)]; };
        const int r = estimate.ranks->low, s = estimate.ranks->high;
        estimate.lower.interval = ConfidenceInterval{at(r), at(s)};
        estimate.upper.interval = ConfidenceInterval{at(n + 1 - s), at(n + 1 - r)};
    }
    return estimate;
}

// A limit and its interval on the scale of the estimate, carried to the measurement scale.
Limit carried(double value, double low, double high, std::optional<double> lambda) {
    Limit limit;
    if (!lambda) {
        limit.value = value;
        limit.interval = ConfidenceInterval{low, high};
        return limit;
    }
    limit.value = backTransform(value, *lambda);
    limit.interval = ConfidenceInterval{backTransform(low, *lambda), backTransform(high, *lambda)};
    return limit;
}

ParametricEstimate parametric(std::span<const double> values, std::optional<double> lambda) {
    using namespace checked;
    ParametricEstimate estimate;
    const int n = static_cast<int>(values.size());
    if (n < 2) return estimate;
    try {
        double sum = 0;
        for (double v : values) sum = add(sum, v);
        const double mean = div(sum, n);
        double squares = 0;
        for (double v : values) squares = add(squares, pow(sub(v, mean), 2));
        const double sd = sqrt(div(squares, n - 1.0));
        const double lower = sub(mean, mul(1.96, sd)), upper = add(mean, mul(1.96, sd));
        // 2.92 approximates 1 + 1.96² / 2.
        const double half = mul(mul(1.645, sd), sqrt(div(2.92, n)));
        estimate.mean = mean;
        estimate.sd = sd;
        estimate.lower = carried(lower, sub(lower, half), add(lower, half), lambda);
        estimate.upper = carried(upper, sub(upper, half), add(upper, half), lambda);
        estimate.available = true;
    } catch (const CalcError&) {
        estimate = ParametricEstimate{};
    }
    return estimate;
}

// From the values in ascending order.
RobustEstimate robust(std::span<const double> sorted, std::optional<double> lambda, int resamples) {
    RobustEstimate estimate;
    if (static_cast<int>(sorted.size()) < kRobustMinimumCount) return estimate;
    estimate.limits = robustLimits(sorted);
    if (!estimate.limits) return estimate;
    estimate.available = true;
    const auto interval = bootstrapRobustLimits(sorted, resamples);
    const RobustLimits& l = *estimate.limits;
    if (interval) {
        estimate.resamples = interval->resamples;
        estimate.lower = carried(l.lower, interval->lowerLow, interval->lowerHigh, lambda);
        estimate.upper = carried(l.upper, interval->upperLow, interval->upperHigh, lambda);
    } else {
        estimate.lower.value = lambda ? backTransform(l.lower, *lambda) : l.lower;
        estimate.upper.value = lambda ? backTransform(l.upper, *lambda) : l.upper;
    }
    return estimate;
}

void flag(std::map<int, std::vector<OutlierRule>>& flagged, const std::vector<int>& positions,
          OutlierRule rule) {
    for (int position : positions) flagged[position].push_back(rule);
}

// Shapiro–Wilk, Anderson–Darling and λ̂ on the values as measured and, for a transformed data
// set, on the transformed values.
DistributionCheck checkDistribution(const EvaluationInput& input) {
    DistributionCheck check;
    if (!input.distributionTests) {
        check.measured.n = static_cast<int>(input.measured.size());
        check.measured.lambda =
            input.measuredLambdaGiven ? input.measuredLambda : estimateLambda(input.measured);
        return check;
    }
    check.measured = testDistribution(input.measured);
    if (input.lambda && input.transformed.size() == input.measured.size())
        check.transformed = testDistribution(input.transformed);
    return check;
}

}  // namespace

namespace {

// What is carried over from the input, and the estimates taken from the values as measured
// in their order (the sums of the parametric limits run in the data set's order).
EvaluationResult begin(const EvaluationInput& input, bool transformed) {
    EvaluationResult result;
    result.n = static_cast<int>(input.measured.size());
    result.lambda = input.lambda;
    result.lambdaText = input.lambdaText;
    result.normalityRejected = input.normalityRejected;
    result.reportFailed = input.reportFailed;
    result.excluded = input.excluded;
    result.valuesRead = input.valuesRead;
    result.resamples = input.resamples;
    result.parametric = parametric(input.measured, std::nullopt);
    if (transformed) result.parametricTransformed = parametric(input.transformed, input.lambda);
    result.distribution = checkDistribution(input);
    if (const auto& horn = result.distribution.measured.lambda)
        result.hornLambda = horn->lambda;
    else
        result.hornReason = lambdaMissingReason(input.measured);
    return result;
}

// For a skewed data set of 20 to 119 values without a λ of the user's: the values transformed
// with λ̂, in ascending order (the transformation keeps the order); empty when it does not
// apply or a value has no transformed value.
std::vector<double> transformedWithEstimate(const EvaluationResult& result,
                                            const EvaluationInput& input,
                                            std::span<const double> sorted) {
    const auto& estimate = result.distribution.measured.lambda;
    if (input.lambda || !input.normalityRejected.value_or(false) || !estimate ||
        result.n < kRobustMinimumCount || result.n >= kNonparametricRecommendedCount)
        return {};
    std::vector<double> y;
    y.reserve(sorted.size());
    for (const double x : sorted) {
        const auto t = powerTransformed(estimate->lambda, x);
        if (!t) return {};
        y.push_back(*t);
    }
    return y;
}

// The estimates from the values in ascending order, and the recommendation.
void finish(EvaluationResult& result, const EvaluationInput& input, std::span<const double> sorted,
            std::optional<std::span<const double>> sortedTransformed) {
    result.nonparametric = nonparametric(sorted);
    result.robust = robust(sorted, std::nullopt, input.resamples);
    result.lambdaEstimated = input.lambdaEstimated;
    if (sortedTransformed) {
        result.robustTransformed = robust(*sortedTransformed, input.lambda, input.resamples);
        if (input.lambdaEstimated) result.estimatedLambda = input.lambda;
    } else if (const auto y = transformedWithEstimate(result, input, sorted); !y.empty()) {
        const double lambda = result.distribution.measured.lambda->lambda;
        result.robustTransformed = robust(y, lambda, input.resamples);
        result.lambdaEstimated = true;
        result.estimatedLambda = lambda;
    }
    result.tukey = fencesOfSorted(sorted);

    result.recommendation = recommendedEstimate(result);
}

bool hasTransformed(const EvaluationInput& input) {
    return input.lambda && input.transformed.size() == input.measured.size();
}

}  // namespace

bool bothLimits(bool available, const Limit& lower, const Limit& upper) {
    return available && lower.value && upper.value;
}

bool robustTransformedApplies(const EvaluationResult& r) {
    return r.n >= kRobustMinimumCount && r.n < kNonparametricRecommendedCount &&
           r.robustTransformed && r.robustTransformed->available &&
           (!r.lambdaEstimated || r.normalityRejected.value_or(false));
}

Recommendation recommendedEstimate(const EvaluationResult& r) {
    if (r.n >= kNonparametricRecommendedCount) {
        const NonparametricEstimate& np = r.nonparametric;
        return bothLimits(np.available, np.lower, np.upper) ? Recommendation::Nonparametric
                                                            : Recommendation::None;
    }
    if (r.n < kRobustMinimumCount) return Recommendation::None;
    if (robustTransformedApplies(r)) {
        const RobustEstimate& t = *r.robustTransformed;
        return bothLimits(t.available, t.lower, t.upper) ? Recommendation::RobustTransformed
                                                         : Recommendation::None;
    }
    return bothLimits(r.robust.available, r.robust.lower, r.robust.upper) ? Recommendation::Robust
                                                                          : Recommendation::None;
}

std::string recommendationName(Recommendation recommendation) {
    switch (recommendation) {
        case Recommendation::Nonparametric:
            return "ノンパラメトリック法";
        case Recommendation::Robust:
            return "ロバスト法";
        case Recommendation::RobustTransformed:
            return "ロバスト法（変換後）";
        case Recommendation::None:
            break;
    }
    return "なし";
}

EvaluationResult evaluate(const EvaluationInput& input) {
    const std::vector<double>& measured = input.measured;
    const bool transformed = hasTransformed(input);
    EvaluationResult result = begin(input, transformed);

    // The values in order, once for every estimate that needs them so.
    const std::vector<double> sorted = ascending(measured);
    std::vector<double> sortedTransformed;
    if (transformed) sortedTransformed = ascending(input.transformed);
    finish(result, input, sorted,
           transformed ? std::optional<std::span<const double>>(sortedTransformed) : std::nullopt);

    std::map<int, std::vector<OutlierRule>> flagged;
    flag(flagged, outsideFences(measured, result.tukey), OutlierRule::Tukey);
    if (result.hornLambda) {
        if (input.transformedWithMeasuredLambda && transformed)
            flag(flagged, outsideFences(input.transformed, fencesOfSorted(sortedTransformed)),
                 OutlierRule::Horn);
        else
            flag(flagged, hornOutliers(measured, *result.hornLambda), OutlierRule::Horn);
    }
    // Below 20 values the one-third gap is too common in samples of normal data to mean
    // anything (it flags most samples of 4).
    if (result.n >= kDixonReedMinimumCount) {
        const DixonReedFlags dixon = dixonReedOutliers(measured);
        flag(flagged, dixon.low, OutlierRule::DixonReedLow);
        flag(flagged, dixon.high, OutlierRule::DixonReedHigh);
    }
    for (const auto& [position, rules] : flagged)
        result.outliers.push_back(
            FlaggedValue{position + 1, measured[static_cast<std::size_t>(position)], rules});
    result.outlierCount = static_cast<std::int64_t>(result.outliers.size());
    return result;
}

EvaluationResult evaluateInPlace(EvaluationInput& input) {
    const bool transformed = hasTransformed(input);
    EvaluationResult result = begin(input, transformed);

    std::vector<double>& sorted = input.measured;
    std::sort(sorted.begin(), sorted.end());
    if (transformed) std::sort(input.transformed.begin(), input.transformed.end());
    finish(result, input, sorted,
           transformed ? std::optional<std::span<const double>>(input.transformed) : std::nullopt);

    // Every rule flags by value (the fences) or by rank (Dixon–Reed), so each value is looked
    // at once in ascending order. Horn's fences are those of the transformed values, and the
    // transformed value of x is taken again as it was taken for them.
    const std::size_t n = sorted.size();
    const DixonReedCounts dixon =
        result.n >= kDixonReedMinimumCount ? dixonReedOfSorted(sorted) : DixonReedCounts{};
    std::optional<Fences> hornFences;
    std::vector<int> hornPositions;  // into sorted, ascending
    const bool hornByTransformed =
        result.hornLambda && input.transformedWithMeasuredLambda && transformed;
    if (hornByTransformed)
        hornFences = fencesOfSorted(input.transformed);
    else if (result.hornLambda)
        hornPositions = hornOutliers(sorted, *result.hornLambda);
    const auto outside = [](const std::optional<Fences>& f, double v) {
        return f && (v < f->low || v > f->high);
    };
    std::size_t nextHorn = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double x = sorted[k];
        bool flagged = outside(result.tukey, x) || k < dixon.low || n - k <= dixon.high;
        if (hornByTransformed) {
            const auto y = powerTransformed(*input.lambda, x);
            flagged = flagged || (y && outside(hornFences, *y));
        }
        while (nextHorn < hornPositions.size() &&
               static_cast<std::size_t>(hornPositions[nextHorn]) < k)
            ++nextHorn;
        if (nextHorn < hornPositions.size() &&
            static_cast<std::size_t>(hornPositions[nextHorn]) == k)
            flagged = true;
        if (flagged) ++result.outlierCount;
    }
    return result;
}

EvaluationInput evaluationInput(AnalysisStore& store) {
    EvaluationInput input;
    const int n = std::clamp(store.DataCount, 0, kMaxValues);
    std::vector<double> current;
    current.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i)
        current.push_back(store.AnalysisValues[static_cast<std::size_t>(i)].toNumber());
    const bool transformed = !store.Lambda.isBlank() && store.Lambda.toNumber() != 1.0 &&
                             static_cast<int>(store.UntransformedValues.size()) == n;
    if (transformed) {
        input.measured = store.UntransformedValues;
        input.transformed = std::move(current);
        input.lambda = store.Lambda.toNumber();
        input.lambdaText = store.Lambda.toText();
    } else {
        input.measured = std::move(current);
    }
    input.normalityRejected = store.Normality.rejected();
    if (store.ValuesRead > n + static_cast<std::int64_t>(store.Excluded.size()))
        input.valuesRead = store.ValuesRead;
    input.excluded = store.Excluded;
    return input;
}

}  // namespace kijunchi

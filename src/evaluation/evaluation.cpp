#include "evaluation/evaluation.h"

#include <algorithm>
#include <cmath>
#include <map>

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

// The percentile exactly as the statistics report takes it: through its general number text.
double reportPercentile(const std::vector<double>& sorted, int n, double level) {
    return Value(numberText(PercentileOf(sorted.data(), n, level))).toNumber();
}

// From the values in ascending order.
NonparametricEstimate nonparametric(const std::vector<double>& sorted) {
    NonparametricEstimate estimate;
    const int n = static_cast<int>(sorted.size());
    if (n < 2) return estimate;
    std::vector<double> x(sorted.size() + 1);  // slot 0 unused, as the percentile routine counts
    std::copy(sorted.begin(), sorted.end(), x.begin() + 1);
    try {
        estimate.lower.value = reportPercentile(x, n, 2.5);
        estimate.upper.value = reportPercentile(x, n, 97.5);
    } catch (const CalcError&) {
        return estimate;
    }
    estimate.available = true;
    estimate.extrapolated = n < kNonparametricWithinDataCount;
    estimate.ranks = lowerLimitRanks(n);
    if (estimate.ranks) {
        const auto at = [&](int rank) { return x[static_cast<std::size_t>(rank)]; };
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
    const auto a = backTransform(low, *lambda), b = backTransform(high, *lambda);
    if (a && b) limit.interval = ConfidenceInterval{*a, *b};
    return limit;
}

ParametricEstimate parametric(const std::vector<double>& values, std::optional<double> lambda) {
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
RobustEstimate robust(const std::vector<double>& sorted, std::optional<double> lambda,
                      int resamples) {
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

EvaluationResult evaluate(const EvaluationInput& input) {
    EvaluationResult result;
    const std::vector<double>& measured = input.measured;
    result.n = static_cast<int>(measured.size());
    result.lambda = input.lambda;
    result.lambdaText = input.lambdaText;
    result.normalityRejected = input.normalityRejected;
    result.reportFailed = input.reportFailed;
    result.excluded = input.excluded;
    result.valuesRead = input.valuesRead;

    // The values in order, once for every estimate that needs them so.
    const std::vector<double> sorted = ascending(measured);
    std::vector<double> sortedTransformed;
    result.nonparametric = nonparametric(sorted);
    result.resamples = input.resamples;
    result.robust = robust(sorted, std::nullopt, input.resamples);
    result.parametric = parametric(measured, std::nullopt);
    if (input.lambda && input.transformed.size() == measured.size()) {
        sortedTransformed = ascending(input.transformed);
        result.robustTransformed = robust(sortedTransformed, input.lambda, input.resamples);
        result.parametricTransformed = parametric(input.transformed, input.lambda);
    }

    result.distribution = checkDistribution(input);

    std::map<int, std::vector<OutlierRule>> flagged;
    result.tukey = fencesOfSorted(sorted);
    flag(flagged, outsideFences(measured, result.tukey), OutlierRule::Tukey);
    if (const auto& horn = result.distribution.measured.lambda) {
        result.hornLambda = horn->lambda;
        if (input.transformedWithMeasuredLambda && !sortedTransformed.empty())
            flag(flagged, outsideFences(input.transformed, fencesOfSorted(sortedTransformed)),
                 OutlierRule::Horn);
        else
            flag(flagged, hornOutliers(measured, horn->lambda), OutlierRule::Horn);
    } else {
        result.hornReason = lambdaMissingReason(measured);
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

    if (result.n >= kNonparametricRecommendedCount) {
        result.recommendation = Recommendation::Nonparametric;
    } else if (result.n >= kRobustMinimumCount) {
        // The robust limits of the values as measured assume a symmetric distribution: for a
        // transformed data set those of the transformed values, carried back, are the ones.
        if (result.robustTransformed && result.robustTransformed->available)
            result.recommendation = Recommendation::RobustTransformed;
        else
            result.recommendation = Recommendation::Robust;
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

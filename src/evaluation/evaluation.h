#pragma once
// The evaluation a laboratory documents beside its reference limits: the nonparametric limits
// with their 90% confidence intervals by ranks, the robust limits with a bootstrap interval,
// the parametric limits with their 90% confidence intervals (also after the transformation,
// carried back), an outlier screen and a line of advice.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/power_formula.h"
#include "analysis/store.h"
#include "evaluation/distribution_check.h"
#include "evaluation/outliers.h"
#include "evaluation/rank_interval.h"
#include "evaluation/robust.h"

namespace kijunchi {

// Below this count the nonparametric limits lie beyond the data (extrapolated).
inline constexpr int kNonparametricWithinDataCount = 39;
// From this count on Dixon–Reed's rule is applied.
inline constexpr int kDixonReedMinimumCount = 20;
// From this count on the guideline recommends the nonparametric limits.
inline constexpr int kNonparametricRecommendedCount = 120;

// An end is missing when a back-transformation has no value there; the other end stands.
struct ConfidenceInterval {
    std::optional<double> low;
    std::optional<double> high;
};

// A limit on the measurement scale: missing when a back-transformation has no value there.
struct Limit {
    std::optional<double> value;
    std::optional<ConfidenceInterval> interval;  // 90%
};

struct NonparametricEstimate {
    bool available = false;     // at least 2 values
    bool extrapolated = false;  // fewer than 39 values: the limits lie beyond the data
    Limit lower, upper;
    std::optional<RankInterval> ranks;  // of the lower limit; nullopt below 119 values
};

struct RobustEstimate {
    bool available = false;  // at least 20 values and a scale that can be formed
    std::optional<RobustLimits> limits;
    Limit lower, upper;  // on the measurement scale
    int resamples = 0;   // resamples behind the intervals
};

struct ParametricEstimate {
    bool available = false;
    double mean = 0, sd = 0;  // on the scale the limits were computed on
    Limit lower, upper;       // on the measurement scale
};

struct FlaggedValue {
    int position = 0;  // 1-based, in the order of the data set (as the grid counts)
    double value = 0;  // as measured
    std::vector<OutlierRule> rules;
};

enum class Recommendation {
    None,    // fewer than 20 values, or no estimate with both limits
    Robust,  // 20 <= n < 120
    // 20 <= n < 120, the data set transformed, or skewed and λ̂ at hand: the robust limits of
    // the transformed values, carried back.
    RobustTransformed,
    Nonparametric,  // n >= 120, with the confidence intervals by ranks
};

struct EvaluationInput {
    std::vector<double> measured;  // the data set as measured, in its order
    std::optional<double> lambda;  // set when the data set is transformed
    std::string lambdaText;        // λ as typed, for the text
    // lambda is λ̂ of the values as measured, not the user's: its robust limits are recommended
    // only when normality is rejected.
    bool lambdaEstimated = false;
    std::vector<double> transformed;        // the transformed values, when lambda is set
    std::optional<bool> normalityRejected;  // the statistics report's tests, when known
    bool reportFailed = false;              // the statistics report's run ended in an error
    std::vector<ExcludedValue> excluded;    // values of the data as read left out
    std::int64_t valuesRead = 0;            // values the source held, when more than measured
    int resamples = kBootstrapResamples;    // of the robust limits' bootstrap
    // Shapiro–Wilk and Anderson–Darling, for the text. Without them only the λ̂ of the values
    // as measured is taken (Horn's rule needs it), and not again when it is given.
    bool distributionTests = true;
    bool measuredLambdaGiven = false;
    std::optional<LambdaEstimate> measuredLambda;  // when given: λ̂ of measured, or none
    // transformed holds powerTransformed(λ̂, x) of every measured x: Horn's rule takes them.
    bool transformedWithMeasuredLambda = false;
};

struct EvaluationResult {
    int n = 0;
    int resamples = kBootstrapResamples;  // drawn for the robust limits' intervals
    std::optional<double> lambda;
    std::string lambdaText;
    NonparametricEstimate nonparametric;
    RobustEstimate robust;
    ParametricEstimate parametric;
    // On the transformed values, carried back to the measurement scale. Without a λ of the
    // user's, robustTransformed is that of λ̂ (estimatedLambda) when it may be recommended.
    std::optional<RobustEstimate> robustTransformed;
    bool lambdaEstimated = false;
    std::optional<double> estimatedLambda;
    std::optional<ParametricEstimate> parametricTransformed;

    std::optional<Fences> tukey;         // on the values as measured
    std::optional<double> hornLambda;    // λ of largest likelihood, when Horn's rule applies
    std::string hornReason;              // why it does not apply
    std::vector<FlaggedValue> outliers;  // in the order of the data set
    std::int64_t outlierCount = 0;       // values flagged by any rule

    Recommendation recommendation = Recommendation::None;
    std::optional<bool> normalityRejected;
    bool reportFailed = false;
    std::int64_t valuesRead = 0;
    std::vector<ExcludedValue> excluded;

    DistributionCheck distribution;  // Shapiro–Wilk, Anderson–Darling, λ̂
};

EvaluationResult evaluate(const EvaluationInput& input);

// The one rule every view recommends by. An estimate is recommended only when both its limits
// exist on the measurement scale. From 120 values: the nonparametric limits. From 20 to 119:
// the robust limits of the transformed values, carried back, when the data set is transformed
// or, with λ̂ instead, when normality is rejected (the biweight assumes a symmetric
// distribution: of skewed values it gives limits such as a negative lower one for positive
// data) — and none when one of those cannot be carried back; otherwise the robust limits of
// the values as measured. Below 20 values: none.
Recommendation recommendedEstimate(const EvaluationResult& result);

// Whether the robust limits of the transformed values are the ones for this result.
bool robustTransformedApplies(const EvaluationResult& result);

// "ノンパラメトリック法", "ロバスト法", "ロバスト法（変換後）" or "なし".
std::string recommendationName(Recommendation recommendation);

// Whether both limits exist on the measurement scale.
bool bothLimits(bool available, const Limit& lower, const Limit& upper);

// The same figures for a large data set without copies of its values: measured (and
// transformed) are sorted in place, and the outliers are counted (outlierCount) but not
// listed. The transformed values must be those of transformedWithMeasuredLambda, if any.
EvaluationResult evaluateInPlace(EvaluationInput& input);

// The input from the store after a completed analysis run: the values as measured (kept by
// the transformation when there was one), the transformed values with λ, and whether the
// report's skewness, kurtosis or chi-square test rejected normality.
EvaluationInput evaluationInput(AnalysisStore& store);

}  // namespace kijunchi

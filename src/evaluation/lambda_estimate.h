#pragma once
// The λ of largest likelihood for the modified power transformation: the maximum of the
// likelihood table's ML(λ), taken as a continuous function of λ, with its likelihood-ratio
// confidence interval.
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/store.h"

namespace kijunchi {

inline constexpr double kLambdaSearchLow = -1.0;
inline constexpr double kLambdaSearchHigh = 3.0;
// ML(λ̂) − ML(λ) ≤ 1.921 bounds the approximate 95% interval (half the chi-square(1) 95% point).
inline constexpr double kLambdaIntervalDrop = 1.921;

struct LambdaEstimate {
    double lambda;  // λ̂
    double ciLow;   // the interval's ends; clipped to the searched range
    double ciHigh;
    double likelihood = 0;       // ML(λ̂)
    bool lowAtBound = false;     // the interval reaches below −1: ciLow is −1
    bool highAtBound = false;    // the interval reaches beyond 3: ciHigh is 3
    bool lambdaAtBound = false;  // the maximum lies on an end of the searched range
};

// ML(λ) of positive values for any λ, equal to the table's value at λ = k/10. The values are
// scaled by their geometric mean first, which changes ML by a constant only (added back), so
// that no power overflows for any positive double.
class LambdaLikelihood {
public:
    // The values must be positive and finite.
    explicit LambdaLikelihood(std::span<const double> values);
    // ML(λ); −∞ when the transformed values do not spread (all equal).
    double operator()(double lambda) const;
    // dML/dλ up to a positive factor: −Σ (y − ȳ)·dy/dλ over the transformed centred values,
    // whose root is λ̂ (taken without the cancellation of a difference of likelihoods).
    double slope(double lambda) const;
    // Whether the values differ by more than the rounding of their logarithms.
    bool spread() const;

private:
    std::vector<double> centredLogs_;  // ln x − mean of ln x
    double logScale_ = 0;              // −n · ln(geometric mean), the constant added back
};

// The maximum of ML(λ) over −1 ≤ λ ≤ 3; nullopt when n < 3, any value ≤ 0 or not finite, or
// the values are all equal (also when they differ only by rounding noise in their logarithms).
std::optional<LambdaEstimate> estimateLambda(std::span<const double> values);

// The estimate for the values the likelihood table describes, DataValues(1..WorkCount).
std::optional<LambdaEstimate> estimateLambda(const AnalysisStore& store);

// Why values have no λ of largest likelihood ("正の値3個以上が必要", "0以下の値があるため",
// "すべての値が等しいため", …); empty when they have one.
std::string lambdaMissingReason(std::span<const double> values);

// The line shown under the likelihood table, for example
// "最尤λ = 0.372（95%信頼区間 0.21 ～ 0.54）": λ̂ to 3 decimals, the interval to 2; an end that
// the range −1 .. 3 cuts off reads "-1未満" or "3超".
std::string lambdaEstimateText(const std::optional<LambdaEstimate>& estimate);

// The line for the estimate of values; without one it says why.
std::string lambdaEstimateText(const std::optional<LambdaEstimate>& estimate,
                               std::span<const double> values);

// The values the likelihood table describes, DataValues(1..WorkCount).
std::vector<double> tableValues(const AnalysisStore& store);

// The table row (0 for λ = −1 .. 40 for λ = 3) whose λ lies nearest to λ̂.
int nearestTableRow(double lambda);

}  // namespace kijunchi

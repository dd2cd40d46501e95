#pragma once
// How normal the data look, for the evaluation: Shapiro–Wilk, Anderson–Darling and the λ of
// largest likelihood, on the values as measured and, for a transformed data set, on the
// transformed values; and the input of the evaluation's charts.
#include <optional>
#include <string>
#include <vector>

#include "evaluation/distribution_chart.h"
#include "evaluation/lambda_estimate.h"
#include "evaluation/normality_tests.h"

namespace kijunchi {

struct EvaluationInput;
struct EvaluationResult;

struct DistributionTests {
    int n = 0;
    std::optional<ShapiroWilkResult> shapiroWilk;
    std::optional<AndersonDarlingResult> andersonDarling;
    std::optional<LambdaEstimate> lambda;
    std::string lambdaText;  // the λ̂ line, with the reason when there is none
};

struct DistributionCheck {
    DistributionTests measured;
    std::optional<DistributionTests> transformed;  // for a transformed data set
};

DistributionTests testDistribution(const std::vector<double>& values);
DistributionCheck checkDistribution(const EvaluationInput& input);

// The section of the evaluation text (CR LF lines, TAB between columns); λ as typed.
std::string distributionText(const DistributionCheck& check, const std::string& lambdaText);

// The histogram's values and limits: the nonparametric limits and the parametric ones (those
// of the transformed values, carried back, for a transformed data set), each with its 90%
// interval where there is one.
ChartInput chartInput(const EvaluationInput& input, const EvaluationResult& result);

}  // namespace kijunchi

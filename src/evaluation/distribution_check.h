#pragma once
// How normal the data look, for the evaluation: Shapiro–Wilk, Anderson–Darling and the λ of
// largest likelihood, on the values as measured and, for a transformed data set, on the
// transformed values.
#include <optional>
#include <string>
#include <vector>

#include "evaluation/lambda_estimate.h"
#include "evaluation/normality_tests.h"

namespace kijunchi {

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

// The section of the evaluation text (CR LF lines, TAB between columns); λ as typed.
std::string distributionText(const DistributionCheck& check, const std::string& lambdaText);

}  // namespace kijunchi

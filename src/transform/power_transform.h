#pragma once
// The modified power transformation x -> (x^λ - 1)/λ + λ (λ = 0: ln x): the likelihood table
// over λ = -1.0 .. 3.0 and the application of a typed λ to the data set.
#include <string>
#include <string_view>

#include "analysis/power_formula.h"
#include "analysis/store.h"
#include "input/grid_sink.h"

namespace kijunchi {

inline constexpr const char* kTransformInstruction =
    "「変換する」のボタンで元データは変換されます。";
inline constexpr const char* kLambdaRefusedMessage =
    "このλの値ではデータを変換できません。データとλを確認して下さい。";

// ML = −(n/2)·ln(SS/n) + J: the normal log-likelihood of n transformed values at its maximum
// over mean and variance, from their sum of squared deviations SS and the logarithm J of the
// transformation's Jacobian (the constant −(n/2)(ln 2π + 1) left out). Not finite when SS ≤ 0.
double profileLikelihood(double n, double ss, double logJacobian);

// The text of the likelihood table for DataValues(1..WorkCount); empty for 0 or 1 values.
std::string likelihoodTable(const AnalysisStore& store);

// The comment written after a transformation: "ﾃﾞｰﾀはλ=" + λ text + "で変換しました。".
std::string transformedComment(std::string_view lambdaText);

// Applies the λ text as typed to DataValues(1..WorkCount). Returns false and changes nothing
// (store, grid, labels) when the text is no number or any value cannot be transformed.
bool applyLambda(AnalysisStore& store, std::string_view lambdaText, GridSink& grid);

}  // namespace kijunchi

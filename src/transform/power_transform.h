#pragma once
// The modified power transformation x -> (x^λ - 1)/λ + λ (λ = 0: ln x): the likelihood table
// over λ = -1.0 .. 3.0 and the application of a typed λ to the data set.
#include <string>
#include <string_view>

#include "analysis/store.h"
#include "input/grid_sink.h"

namespace kijunchi {

inline constexpr const char* kTransformInstruction =
    "「変換する」のボタンで元データは変換されます。";
inline constexpr const char* kLambdaRefusedMessage =
    "このλの値ではデータを変換できません。データとλを確認して下さい。";

// x -> (x^λ - 1)/λ + λ, or ln x for λ = 0, in checked arithmetic (CalcError where undefined).
double powerTransform(double lambda, double x);

// The text of the likelihood table for DataValues(1..WorkCount); empty for 0 or 1 values.
std::string likelihoodTable(const AnalysisStore& store);

// The comment written after a transformation: "ﾃﾞｰﾀはλ=" + λ text + "で変換しました。".
std::string transformedComment(std::string_view lambdaText);

// Applies the λ text as typed to DataValues(1..WorkCount). Returns false and changes nothing
// (store, grid, labels) when the text is no number or any value cannot be transformed.
bool applyLambda(AnalysisStore& store, std::string_view lambdaText, GridSink& grid);

}  // namespace kijunchi

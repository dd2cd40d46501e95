#pragma once
// The text of the evaluation window "基準範囲の評価" (CR LF lines, TAB between columns) and the
// input of its charts.
#include <optional>
#include <string>

#include "evaluation/distribution_chart.h"
#include "evaluation/evaluation.h"
#include "report/analysis_run.h"

namespace kijunchi {

inline constexpr const char* kEvaluationNoData =
    "データがありません。データを張り付けてから解析(ﾋｽﾄｸﾞﾗﾑ)を実行して下さい。\r\n";

std::string evaluationText(const EvaluationResult& result);

// The histogram's values and limits: the nonparametric limits and the parametric ones (those
// of the transformed values, carried back, for a transformed data set), each with its 90%
// interval where there is one.
ChartInput chartInput(const EvaluationInput& input, const EvaluationResult& result);

// The window's text and the charts' input after an analysis run: the evaluation of the store's
// data set after a completed run (with the charts), otherwise the message for no data or for
// the calculation error (without).
struct EvaluationView {
    std::string text;
    std::optional<ChartInput> chart;
    std::string lambdaText;  // λ as typed, for a transformed data set
};
EvaluationView evaluationViewAfterRun(AnalysisStore& store, RunStatus status);

// The window's text after an analysis run that ended with status: the evaluation of the
// store's data set after a completed run, otherwise the message for no data or for the
// calculation error.
std::string evaluationTextAfterRun(AnalysisStore& store, RunStatus status);

// The advice line without its line end.
std::string adviceText(const EvaluationResult& result);

}  // namespace kijunchi

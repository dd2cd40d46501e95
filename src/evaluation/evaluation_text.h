#pragma once
// The text of the evaluation window "基準範囲の評価" (CR LF lines, TAB between columns).
#include <string>

#include "analysis/analysis_run.h"
#include "evaluation/evaluation.h"

namespace kijunchi {

inline constexpr const char* kEvaluationNoData =
    "データがありません。データを張り付けてから解析(ﾋｽﾄｸﾞﾗﾑ)を実行して下さい。\r\n";

std::string evaluationText(const EvaluationResult& result);

// The window's text after an analysis run that ended with status: the evaluation of the
// store's data set after a completed run, otherwise the message for no data or for the
// calculation error.
std::string evaluationTextAfterRun(AnalysisStore& store, RunStatus status);

// The advice line without its line end.
std::string adviceText(const EvaluationResult& result);

}  // namespace kijunchi

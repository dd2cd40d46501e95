#pragma once
// The text of the evaluation window "基準範囲の評価" (CR LF lines, TAB between columns).
#include <string>

#include "evaluation/evaluation.h"

namespace kijunchi {

inline constexpr const char* kEvaluationNoData =
    "データがありません。データを張り付けてから解析(ﾋｽﾄｸﾞﾗﾑ)を実行して下さい。\r\n";

std::string evaluationText(const EvaluationResult& result);

// The advice line without its line end.
std::string adviceText(const EvaluationResult& result);

}  // namespace kijunchi

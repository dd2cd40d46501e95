#pragma once
// The analysis run: one pass over the current data set that produces every result, the text
// block and chart of the histogram window and the statistics report.
#include <optional>
#include <string>
#include <string_view>

#include "analysis/store.h"
#include "report/canvas.h"

namespace kijunchi {

inline constexpr const char* kCalcErrorMessage =
    "計算エラーがあります。データに問題が無いか確認して下さい。";
inline constexpr const char* kCalcErrorTitle = "エラー";
inline constexpr const char* kClassCountMessage =
    "ﾋｽﾄｸﾞﾗﾑの階級数は4以上1000以下の整数を入力して下さい。";

// Receives the statistics window's text.
class ReportSink {
public:
    virtual ~ReportSink() = default;
    virtual void setStatisticsText(const std::string& text) = 0;
};

enum class RunStatus {
    NoData,           // WorkCount was 0: nothing happened
    Completed,        // every step ran
    CalculationError  // a calculation failed; what had been written stays
};

// The class-count box: a text that is a whole number from 4 to 1000 as a whole (blanks around
// it and full-width digits allowed), or nullopt when the box must be refused.
std::optional<double> readClassCount(std::string_view boxText);

// The run itself (also what the histogram window's "再表示" calls). Reads the store's data
// set, ClassCount and Lambda; writes the results, the histogram window's picture and the
// statistics text. It catches its own calculation errors and reports them by its status (the
// statistics text is then emptied; the store keeps what had been computed); the caller shows
// the message.
RunStatus runAnalysis(AnalysisStore& store, Canvas& picture, ReportSink& report);

}  // namespace kijunchi

#pragma once
// The saved forms of the report: the statistics text as CSV for a spreadsheet, and the lines
// that describe the data set at the head of a printed report.
#include <string>
#include <string_view>
#include <vector>

#include "analysis/value.h"

namespace kijunchi {

// The report's lines (CR LF or LF) with their TAB-separated columns as CSV: fields quoted where
// they hold a comma, a quote or blanks at their ends, CR LF line ends, and a UTF-8 byte order
// mark so that spreadsheets on Japanese systems do not take the text for Shift_JIS.
std::string reportCsv(std::string_view text);

// λ as the description of a data set says it: "1（変換なし）" for untransformed data,
// "0（対数変換）" for the logarithm, else the λ text as typed.
std::string lambdaDescription(const Value& lambda);

// The title of every report: its first line, the start of its running head, the PDF's title.
inline constexpr const char* kReportTitle = "基準値　解析レポート";

struct DataSetDescription {
    int count = 0;
    std::string source;      // a file name, "クリップボード", or the generator's name
    std::string dateTime;    // when the document was made
    std::string lambda;      // lambdaDescription
    int classes = 0;         // the histogram's class count of the analysis; 0: not told
    std::string analysedAt;  // when the analysis ran; empty: not told
};

// The head of a printed report: a title, then one line per item.
std::vector<std::string> descriptionLines(const DataSetDescription& description);

}  // namespace kijunchi

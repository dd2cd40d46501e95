#include "study/grouped_text.h"

#include <algorithm>

#include "analysis/number_text.h"
#include "files/table_text.h"

namespace kijunchi {

namespace {

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

GroupedValues readGroupedText(std::string_view text) {
    GroupedValues out;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    bool first = true;
    // Lines end as the plain paste's do: CR LF, LF or a lone CR.
    LineReader lines(text);
    std::string_view line;
    while (lines.next(line)) {
        if (trimmed(line).empty()) continue;
        const auto tab = line.find('\t');
        const std::string_view valueField = trimmed(line.substr(0, tab));
        const std::string_view groupField =
            tab == std::string_view::npos ? std::string_view() : trimmed(line.substr(tab + 1));
        const auto value = wholeNumber(valueField);
        // A heading holds no digit; a first value such as "<0.5" or "10 mg/dL" is a value that
        // is no number, skipped and counted like any other.
        const bool digits = std::any_of(valueField.begin(), valueField.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
        if (first && !value && !digits) {
            out.valueHeading = std::string(valueField);
            out.groupHeading = std::string(groupField.substr(0, groupField.find('\t')));
            first = false;
            continue;
        }
        first = false;
        const std::string_view label = trimmed(groupField.substr(0, groupField.find('\t')));
        if (!value || label.empty()) {
            ++out.skipped;
            continue;
        }
        out.values.push_back(*value);
        out.labels.emplace_back(label);
    }
    if (out.skipped > 0)
        out.message =
            "数値でないかグループが空の行" + std::to_string(out.skipped) + "個を読み飛ばしました。";
    return out;
}

}  // namespace kijunchi

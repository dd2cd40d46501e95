#include "files/report_export.h"

#include "analysis/number_text.h"
#include "files/table_text.h"

namespace kijunchi {

namespace {

std::string csvField(std::string_view cell) {
    // A number stays as it is; a text that a spreadsheet would take for a formula does not.
    const std::string field = wholeNumber(cell) ? std::string(cell) : spreadsheetCell(cell);
    const bool quote = field.find_first_of(",\"\r\n") != std::string::npos ||
                       (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote) return std::string(field);
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string reportCsv(std::string_view text) {
    std::string out = "\xEF\xBB\xBF";
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        bool first = true;
        for (;;) {
            std::size_t tab = line.find('\t');
            if (!first) out += ',';
            out += csvField(line.substr(0, tab));
            first = false;
            if (tab == std::string_view::npos) break;
            line.remove_prefix(tab + 1);
        }
        out += "\r\n";
    }
    return out;
}

std::string lambdaDescription(const Value& lambda) {
    if (lambda.isBlank()) return "1（変換なし）";
    if (lambda.kind() == Value::Kind::Number || wholeNumber(lambda.toText())) {
        const double value = lambda.kind() == Value::Kind::Number ? lambda.toNumber()
                                                                  : *wholeNumber(lambda.toText());
        if (value == 1) return "1（変換なし）";
        if (value == 0) return "0（対数変換）";
    }
    return lambda.toText();
}

std::vector<std::string> descriptionLines(const DataSetDescription& d) {
    std::vector<std::string> lines = {kReportTitle, "データ数：" + std::to_string(d.count),
                                      "データ：" + d.source};
    if (d.classes > 0) lines.push_back("階級数：" + std::to_string(d.classes));
    if (!d.analysedAt.empty()) lines.push_back("解析日時：" + d.analysedAt);
    lines.push_back("作成日時：" + d.dateTime);
    lines.push_back("λ：" + d.lambda);
    return lines;
}

}  // namespace kijunchi

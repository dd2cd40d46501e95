#include "study/batch.h"

#include <cstdio>
#include <map>

#include "analysis/number_text.h"
#include "report/sig_round.h"
#include "study/partition.h"

namespace kijunchi {

namespace {

struct Column {
    const char* heading;  // TSV and CSV
    const char* key;      // JSON
    std::optional<double> BatchRow::*number;
};

// The numeric columns after n, in table order.
const Column kFigures[] = {
    {"ノンパラ下限", "npLower", &BatchRow::npLower},
    {"下限90%CI下", "npLowerLow", &BatchRow::npLowerLow},
    {"下限90%CI上", "npLowerHigh", &BatchRow::npLowerHigh},
    {"ノンパラ上限", "npUpper", &BatchRow::npUpper},
    {"上限90%CI下", "npUpperLow", &BatchRow::npUpperLow},
    {"上限90%CI上", "npUpperHigh", &BatchRow::npUpperHigh},
    {"パラ下限", "paramLower", &BatchRow::paramLower},
    {"パラ上限", "paramUpper", &BatchRow::paramUpper},
    {"λ", "lambda", &BatchRow::lambda},
    {"変換パラ下限", "lambdaLower", &BatchRow::lambdaLower},
    {"変換パラ上限", "lambdaUpper", &BatchRow::lambdaUpper},
    {"ロバスト下限", "robustLower", &BatchRow::robustLower},
    {"ロバスト上限", "robustUpper", &BatchRow::robustUpper},
    {"変換ロバスト下限", "lambdaRobustLower", &BatchRow::lambdaRobustLower},
    {"変換ロバスト上限", "lambdaRobustUpper", &BatchRow::lambdaRobustUpper},
    {"歪度p", "pSkewness", &BatchRow::pSkewness},
    {"尖度p", "pKurtosis", &BatchRow::pKurtosis},
    {"カイ二乗p", "pChiSquare", &BatchRow::pChiSquare},
};

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string tsvField(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return s;
}

std::string jsonString(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        switch (c) {
            case '"':
                q += "\\\"";
                break;
            case '\\':
                q += "\\\\";
                break;
            case '\n':
                q += "\\n";
                break;
            case '\r':
                q += "\\r";
                break;
            case '\t':
                q += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    q += buf;
                } else {
                    q += c;
                }
        }
    }
    return q + "\"";
}

std::string rounded(const std::optional<double>& v) {
    return v ? numberText(SigRound(*v, 4)) : std::string();
}

std::string skippedMessage(int skipped) {
    return "数値でない欄" + std::to_string(skipped) + "個を読み飛ばしました。";
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

void appendMessage(std::string& to, const std::string& message) {
    if (!to.empty()) to += " ";
    to += message;
}

// One row's figures; a failure is that row's message, and the batch goes on.
void evaluateRow(const BatchEvaluator& evaluate, const std::vector<double>& values, BatchRow& row) {
    try {
        evaluate(values, row);
    } catch (const std::exception&) {
        const std::string analyte = row.analyte, group = row.group;
        const int n = row.n, skipped = row.skipped;
        row = BatchRow{};
        row.analyte = analyte;
        row.group = group;
        row.n = n;
        row.skipped = skipped;
        row.message = "計算できませんでした。";
    }
}

}  // namespace

std::vector<std::string> batchHeadings(bool grouped) {
    std::vector<std::string> head{"項目"};
    if (grouped) head.push_back("グループ");
    head.push_back("データ数");
    for (const auto& c : kFigures) head.push_back(c.heading);
    head.insert(head.end(), {"外れ値", "推奨"});
    if (grouped) head.insert(head.end(), {"SDR", "分割"});
    head.push_back("注意");
    return head;
}

std::vector<BatchCell> batchCells(const BatchRow& r, bool grouped) {
    using Kind = BatchCell::Kind;
    auto text = [](const std::string& t) { return BatchCell{Kind::Text, t, std::nullopt}; };
    auto figure = [](const std::optional<double>& v) { return BatchCell{Kind::Figure, {}, v}; };
    auto count = [](std::optional<int> v) {
        return BatchCell{Kind::Count, {}, v ? std::optional<double>(*v) : std::nullopt};
    };
    std::vector<BatchCell> cells{text(r.analyte)};
    if (grouped) cells.push_back(text(r.group));
    cells.push_back(count(r.n));
    for (const auto& c : kFigures) cells.push_back(figure(r.*(c.number)));
    cells.push_back(count(r.outliers));
    cells.push_back(text(r.recommendation));
    if (grouped) {
        cells.push_back(figure(r.sdr));
        cells.push_back(text(r.partition));
    }
    cells.push_back(text(r.message));
    return cells;
}

double batchFigure(double value) {
    return SigRound(value, 4);
}

BatchWriter::BatchWriter(std::ostream& out, BatchFormat format, bool grouped)
    : out_(out), format_(format), grouped_(grouped) {
    if (format_ == BatchFormat::Json) {
        out_ << "[";
        return;
    }
    const std::vector<std::string> head = batchHeadings(grouped_);
    const char* sep = format_ == BatchFormat::Csv ? "," : "\t";
    for (std::size_t i = 0; i < head.size(); ++i) out_ << (i ? sep : "") << head[i];
    out_ << "\r\n";
}

void BatchWriter::row(const BatchRow& r) {
    if (format_ == BatchFormat::Json) {
        out_ << (rows_++ ? ",\n" : "\n") << "{\"analyte\": " << jsonString(r.analyte);
        if (grouped_) out_ << ", \"group\": " << jsonString(r.group);
        out_ << ", \"n\": " << r.n;
        for (const auto& c : kFigures) {
            const auto& v = r.*(c.number);
            out_ << ", \"" << c.key << "\": " << (v ? numberText(*v) : std::string("null"));
        }
        out_ << ", \"outliers\": " << (r.outliers ? std::to_string(*r.outliers) : "null");
        out_ << ", \"recommendation\": " << jsonString(r.recommendation);
        if (grouped_) {
            out_ << ", \"sdr\": " << (r.sdr ? numberText(*r.sdr) : std::string("null"));
            out_ << ", \"partition\": " << jsonString(r.partition);
        }
        out_ << ", \"message\": " << jsonString(r.message) << "}";
        return;
    }
    const bool csv = format_ == BatchFormat::Csv;
    const char* sep = csv ? "," : "\t";
    const std::vector<BatchCell> cells = batchCells(r, grouped_);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const BatchCell& cell = cells[i];
        if (i) out_ << sep;
        if (cell.kind == BatchCell::Kind::Text)
            out_ << (csv ? csvField(cell.text) : tsvField(cell.text));
        else if (cell.kind == BatchCell::Kind::Figure)
            out_ << rounded(cell.number);
        else if (cell.number)
            out_ << static_cast<long long>(*cell.number);
    }
    out_ << "\r\n";
    ++rows_;
}

void BatchWriter::finish() {
    if (format_ == BatchFormat::Json) out_ << (rows_ ? "\n]\n" : "]\n");
    out_.flush();
}

BatchSummary runBatch(TableStream& table, const BatchOptions& options,
                      const BatchEvaluator& evaluate,
                      const std::function<void(const BatchRow&)>& sink,
                      const std::function<bool(int done, int total)>& progress) {
    const std::size_t columns = table.headings().size();
    const auto groupColumn = options.groupColumn;
    std::vector<std::string_view> fields;

    // The groups in the order of their first row, found by the raw text of the field.
    std::map<std::string, std::size_t, std::less<>> groupIndex;
    std::vector<std::string> groupNames;
    if (groupColumn) {
        table.restart();
        while (table.nextRow(fields)) {
            const std::string_view raw =
                trimmed(*groupColumn < fields.size() ? fields[*groupColumn] : "");
            if (raw.empty()) continue;
            const std::string name = table.text(raw);
            if (groupIndex.emplace(std::string(raw), groupNames.size()).second)
                groupNames.push_back(name);
        }
    }

    BatchSummary summary;
    for (std::size_t c = 0; c < columns; ++c)
        if (!groupColumn || c != *groupColumn) ++summary.analytesTotal;

    for (std::size_t c = 0; c < columns; ++c) {
        if (groupColumn && c == *groupColumn) continue;
        if (progress && !progress(summary.analytes, summary.analytesTotal)) {
            summary.cancelled = true;
            return summary;
        }
        // This analyte's values, per group (one set without a group column).
        const std::size_t sets = groupColumn ? groupNames.size() : 1;
        std::vector<std::vector<double>> values(sets);
        std::vector<int> skipped(sets, 0);
        int withoutGroup = 0;
        table.restart();
        while (table.nextRow(fields)) {
            const std::string_view field = c < fields.size() ? fields[c] : std::string_view();
            std::size_t set = 0;
            if (groupColumn) {
                const auto it = groupIndex.find(
                    trimmed(*groupColumn < fields.size() ? fields[*groupColumn] : ""));
                if (it == groupIndex.end()) {
                    if (table.number(field)) ++withoutGroup;
                    continue;
                }
                set = it->second;
            }
            if (auto v = table.number(field))
                values[set].push_back(*v);
            else if (field.find_first_not_of(" \t") != std::string_view::npos)
                ++skipped[set];
        }

        std::optional<PartitionStudy> study;
        if (groupColumn) {
            std::vector<ValueGroup> groups;
            for (std::size_t g = 0; g < sets; ++g) groups.push_back({groupNames[g], values[g]});
            study = studyPartition(groups);
        }
        if (groupColumn && sets == 0) {
            BatchRow row;
            row.analyte = table.headings()[c];
            row.message = "グループ列に値がありません。";
            sink(row);
        }
        for (std::size_t g = 0; g < sets; ++g) {
            BatchRow row;
            row.analyte = table.headings()[c];
            if (groupColumn) row.group = groupNames[g];
            row.n = static_cast<int>(values[g].size());
            row.skipped = skipped[g];
            if (row.n == 0) {
                row.message = "数値がありません。";
            } else {
                evaluateRow(evaluate, values[g], row);
                if (row.n < 20)
                    appendMessage(row.message, "値が20個未満のため、基準範囲は推奨できません。");
            }
            if (study) {
                if (!study->refusal.empty()) {
                    appendMessage(row.message, study->refusal);
                } else {
                    if (study->anova) row.sdr = study->anova->sdr;
                    row.partition = study->partitionNeeded ? "グループごと" : "全体で1つ";
                }
            }
            if (row.skipped > 0) appendMessage(row.message, skippedMessage(row.skipped));
            if (g == 0 && withoutGroup > 0)
                appendMessage(row.message, "グループが空欄の値" + std::to_string(withoutGroup) +
                                               "個は評価していません。");
            sink(row);
        }
        ++summary.analytes;
    }
    if (progress) progress(summary.analytes, summary.analytesTotal);
    return summary;
}

}  // namespace kijunchi

#include "indirect/indirect_table.h"

#include <cmath>

#include "analysis/number_text.h"
#include "files/table_text.h"
#include "report/sig_round.h"

namespace kijunchi {

namespace {

struct Column {
    const char* heading;
    const char* key;
    std::optional<double> (*get)(const IndirectResult&);
    bool count = false;  // a whole number, written in full
};

std::optional<double> finite(double v) {
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

const Column kColumns[] = {
    {"結果数", "n", [](const IndirectResult& r) { return finite(double(r.total)); }, true},
    {"打切り(<)", "censored_below",
     [](const IndirectResult& r) { return finite(double(r.censoredBelow)); }, true},
    {"打切り(>)", "censored_above",
     [](const IndirectResult& r) { return finite(double(r.censoredAbove)); }, true},
    {"切断内", "used",
     [](const IndirectResult& r) { return r.used > 0 ? finite(double(r.used)) : std::nullopt; },
     true},
    {"切断下", "truncation_lower",
     [](const IndirectResult& r) { return finite(r.lowerTruncation); }},
    {"切断上", "truncation_upper",
     [](const IndirectResult& r) { return finite(r.upperTruncation); }},
    {"非病的割合", "fraction", [](const IndirectResult& r) { return finite(r.fraction); }},
    {"λ", "lambda", [](const IndirectResult& r) { return finite(r.lambda); }},
    {"μ", "mu", [](const IndirectResult& r) { return finite(r.mu); }},
    {"σ", "sigma", [](const IndirectResult& r) { return finite(r.sigma); }},
    {"移動", "shift",
     [](const IndirectResult& r) { return r.estimated() ? finite(r.shift) : std::nullopt; }},
    {"下限", "lower", [](const IndirectResult& r) { return finite(r.lower); }},
    {"下限90%CI下", "lower_ci_low", [](const IndirectResult& r) { return finite(r.lowerCiLow); }},
    {"下限90%CI上", "lower_ci_high", [](const IndirectResult& r) { return finite(r.lowerCiHigh); }},
    {"上限", "upper", [](const IndirectResult& r) { return finite(r.upper); }},
    {"上限90%CI下", "upper_ci_low", [](const IndirectResult& r) { return finite(r.upperCiLow); }},
    {"上限90%CI上", "upper_ci_high", [](const IndirectResult& r) { return finite(r.upperCiHigh); }},
    {"再標本数", "resamples",
     [](const IndirectResult& r) { return r.resamples > 0 ? finite(r.resamples) : std::nullopt; },
     true},
    {"乱数の種", "seed",
     [](const IndirectResult& r) {
         return r.resamples > 0 ? finite(double(r.seed)) : std::nullopt;
     },
     true},
};

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            out += ' ';
            continue;
        }
        out += c;
    }
    return out + "\"";
}

// A text cell of the TSV or CSV: safe from formulas, quoted in a CSV where it must be.
std::string textField(const std::string& text, IndirectFormat format) {
    std::string s = spreadsheetCell(text);
    if (format == IndirectFormat::Tsv) {
        for (char& c : s)
            if (c == '\t' || c == '\r' || c == '\n') c = ' ';
        return s;
    }
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

}  // namespace

std::vector<std::string> indirectHeadings() {
    std::vector<std::string> h{"分割"};
    for (const auto& c : kColumns) h.emplace_back(c.heading);
    h.emplace_back("方法");
    h.emplace_back("注意");
    return h;
}

std::string indirectNote(const IndirectResult& r) {
    if (!r.estimated()) return r.refusal;
    std::string s = r.caution;
    const auto add = [&s](const std::string& what) {
        if (what.empty()) return;
        s += (s.empty() ? "" : "。") + what;
    };
    add(r.remark);
    if (r.samplingOnly && r.resamples > 0) add("90%区間は標本誤差のみを含みます");
    if (r.resamples > 0 && r.resamplesFitted < r.resamples)
        add("再標本" + std::to_string(r.resamples) + "回のうち" +
            std::to_string(r.resamplesFitted) + "回で推定");
    return s;
}

std::vector<std::string> indirectCells(const std::string& partition, const IndirectResult& r) {
    std::vector<std::string> cells{partition};
    for (const auto& c : kColumns) {
        const auto v = c.get(r);
        cells.push_back(v ? numberText(c.count ? *v : SigRound(*v, 4)) : std::string());
    }
    cells.emplace_back(indirectMethodName(r.method));
    cells.push_back(indirectNote(r));
    return cells;
}

std::string extraCellText(const ExtraCell& cell) {
    if (!cell.isNumber) return cell.text;
    return cell.number && std::isfinite(*cell.number) ? numberText(SigRound(*cell.number, 4))
                                                      : std::string();
}

IndirectWriter::IndirectWriter(std::ostream& out, IndirectFormat format,
                               std::vector<ExtraColumn> before, std::vector<ExtraColumn> after)
    : out_(out), format_(format), before_(std::move(before)), after_(std::move(after)) {
    if (format_ == IndirectFormat::Json) {
        out_ << "[";
        return;
    }
    const char sep = format_ == IndirectFormat::Csv ? ',' : '\t';
    std::vector<std::string> headings;
    for (const auto& c : before_) headings.push_back(c.heading);
    for (auto& h : indirectHeadings()) headings.push_back(std::move(h));
    for (const auto& c : after_) headings.push_back(c.heading);
    for (std::size_t i = 0; i < headings.size(); ++i)
        out_ << (i ? std::string(1, sep) : "") << headings[i];
    out_ << "\r\n";
}

void IndirectWriter::row(const std::string& partition, const IndirectResult& r,
                         const std::vector<ExtraCell>& before,
                         const std::vector<ExtraCell>& after) {
    auto jsonCell = [](const ExtraCell& c) {
        if (!c.isNumber) return jsonString(c.text);
        return c.number && std::isfinite(*c.number) ? numberText(*c.number) : std::string("null");
    };
    if (format_ == IndirectFormat::Json) {
        out_ << (rows_ == 0 ? "\n" : ",\n") << "{";
        for (std::size_t i = 0; i < before_.size() && i < before.size(); ++i)
            out_ << "\"" << before_[i].key << "\": " << jsonCell(before[i]) << ", ";
        out_ << "\"partition\": " << jsonString(partition);
        for (const auto& c : kColumns) {
            const auto v = c.get(r);
            out_ << ", \"" << c.key << "\": " << (v ? numberText(*v) : std::string("null"));
        }
        out_ << ", \"method\": " << jsonString(indirectMethodKey(r.method))
             << ", \"note\": " << jsonString(indirectNote(r));
        for (std::size_t i = 0; i < after_.size() && i < after.size(); ++i)
            out_ << ", \"" << after_[i].key << "\": " << jsonCell(after[i]);
        out_ << "}";
    } else {
        const char sep = format_ == IndirectFormat::Csv ? ',' : '\t';
        bool first = true;
        auto put = [&](const std::string& cell, bool text) {
            out_ << (first ? "" : std::string(1, sep)) << (text ? textField(cell, format_) : cell);
            first = false;
        };
        for (const auto& c : before) put(extraCellText(c), !c.isNumber);
        const auto cells = indirectCells(partition, r);
        for (std::size_t i = 0; i < cells.size(); ++i)
            put(cells[i], i == 0 || i + 2 >= cells.size());
        for (const auto& c : after) put(extraCellText(c), !c.isNumber);
        out_ << "\r\n";
    }
    ++rows_;
}

void IndirectWriter::finish() {
    if (format_ == IndirectFormat::Json) out_ << "\n]\n";
}

}  // namespace kijunchi

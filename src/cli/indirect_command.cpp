#include "cli/indirect_command.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "analysis/number_text.h"
#include "indirect/extract.h"
#include "indirect/truncated_fit.h"
#include "report/sig_round.h"

namespace kijunchi {

namespace {

constexpr const char* kIndirectUsage =
    "使い方: kijunchi-report --indirect --column VALUE [--count COLUMN] [--group SEX]\n"
    "          [--age AGE --age-bands LIST] [--patient ID --first-per-patient]\n"
    "          [--date DATE [--from D] [--to D]] [--where COLUMN=VALUE] [--seed N]\n"
    "          [--format tsv|csv|json|summary] FILE…\n"
    "\n"
    "  --indirect          "
    "日常検査の結果から間接法（切断べき正規分布の当てはめ）で基準範囲を推定する\n"
    "  --column VALUE      "
    "結果の値の列（見出しか番号）。「<0.02」「>1000」は打ち切り値として数える\n"
    "  --count COLUMN      値→件数の集計表を読む（--format summary の出力など）\n"
    "  --group SEX         性別などの分割の列\n"
    "  --age AGE           年齢の列。--age-bands 0,1,6,12,18,40,60,120 で年齢区分に分ける\n"
    "  --patient ID        患者IDの列。--first-per-patient で患者ごとに最初の結果だけを使う\n"
    "  --date DATE         検査日の列（2024-01-31 など）。--from, --to で期間を限る\n"
    "  --where COLUMN=VALUE  その列がその値の行だけを使う（外来/入院など）\n"
    "  --seed N            ブートストラップの乱数の種（既定 20240）\n"
    "  --format F          tsv（既定）、csv、json、summary（分割ごとの値→件数の集計表）\n";

struct IndirectArgs {
    ExtractOptions extract;
    std::optional<std::string> ageBands, from, to, format, seed;
    std::vector<std::string> files;
};

int usage(std::ostream& err, const std::string& message) {
    err << message << "\n\n" << kIndirectUsage;
    return 2;
}

std::optional<std::string> parse(const std::vector<std::string>& args, IndirectArgs& a) {
    bool column = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.erase(eq);
        }
        auto value = [&](std::optional<std::string>& to) -> std::optional<std::string> {
            if (inlineValue) {
                to = inlineValue;
            } else {
                if (i + 1 >= args.size()) return arg + " に値がありません。";
                to = args[++i];
            }
            return std::nullopt;
        };
        std::optional<std::string> error, text;
        if (arg == "--indirect") {
        } else if (arg == "--first-per-patient") {
            a.extract.firstPerPatient = true;
        } else if (arg == "--column") {
            error = value(text);
            if (text) a.extract.valueColumn = *text;
            column = true;
        } else if (arg == "--count") {
            error = value(a.extract.countColumn);
        } else if (arg == "--group") {
            error = value(a.extract.groupColumn);
        } else if (arg == "--age") {
            error = value(a.extract.ageColumn);
        } else if (arg == "--age-bands") {
            error = value(a.ageBands);
        } else if (arg == "--patient") {
            error = value(a.extract.patientColumn);
        } else if (arg == "--date") {
            error = value(a.extract.dateColumn);
        } else if (arg == "--from") {
            error = value(a.from);
        } else if (arg == "--to") {
            error = value(a.to);
        } else if (arg == "--format") {
            error = value(a.format);
        } else if (arg == "--seed") {
            error = value(a.seed);
        } else if (arg == "--where") {
            error = value(text);
            if (text) {
                const auto eq = text->find('=');
                if (eq == std::string::npos || eq == 0)
                    return "--where には 列=値 の形で指定して下さい: " + *text;
                a.extract.where.emplace_back(text->substr(0, eq), text->substr(eq + 1));
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "--indirect とは一緒に使えないか、不明なオプションです: " + arg;
        } else {
            a.files.push_back(arg);
        }
        if (error) return error;
    }
    if (!column) return "--indirect には --column で値の列を指定して下さい。";
    if (a.files.empty()) return "--indirect では抽出したデータのファイルを指定して下さい。";
    if (a.ageBands && !a.extract.ageColumn) return "--age-bands は --age と一緒に指定して下さい。";
    if (a.extract.ageColumn && !a.ageBands)
        return "--age には --age-bands で年齢区分（0,1,6,12,18,40,60,120 など）を指定して下さい。";
    if (a.extract.firstPerPatient && !a.extract.patientColumn)
        return "--first-per-patient には --patient で患者IDの列を指定して下さい。";
    if (a.extract.firstPerPatient && a.extract.countColumn)
        return "--first-per-patient は集計表（--count）には使えません。";
    if ((a.from || a.to) && !a.extract.dateColumn)
        return "--from と --to には --date で日付の列を指定して下さい。";
    if (a.ageBands) {
        std::string problem;
        auto bands = parseAgeBands(*a.ageBands, problem);
        if (!bands) return problem;
        a.extract.ageBands = *bands;
    }
    for (auto [typed, to] :
         {std::pair{&a.from, &a.extract.from}, std::pair{&a.to, &a.extract.to}}) {
        if (!*typed) continue;
        auto key = dateKey(**typed);
        if (!key) return "日付として読めません: " + **typed;
        // A day alone stands for the whole day.
        if (typed == &a.to && (*typed)->find(':') == std::string::npos) *key += 235959;
        *to = *key;
    }
    if (a.format && *a.format != "tsv" && *a.format != "csv" && *a.format != "json" &&
        *a.format != "summary")
        return "--format には tsv, csv, json, summary のどれかを指定して下さい。";
    return std::nullopt;
}

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

std::string csvField(const std::string& s, char sep) {
    if (s.find(sep) == std::string::npos && s.find('"') == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string note(const IndirectResult& r) {
    if (!r.estimated()) return r.refusal;
    std::string s;
    if (r.resamples > 0 && r.resamplesFitted < r.resamples)
        s += "再標本" + std::to_string(r.resamples) + "回のうち" +
             std::to_string(r.resamplesFitted) + "回で推定";
    if (r.total > 100000)
        s += std::string(s.empty() ? "" : "。") + "10万件超のため再標本は" +
             std::to_string(r.resamples) + "回";
    return s;
}

void writeSummary(const ExtractResult& extract, std::ostream& out) {
    out << "群\t値\t件数\r\n";
    for (const auto& p : extract.partitions) {
        for (const auto& [v, c] : p.counts.below())
            out << p.label << "\t<" << numberText(v) << "\t" << c << "\r\n";
        for (const auto& [v, c] : p.counts.sorted())
            out << p.label << "\t" << numberText(v) << "\t" << c << "\r\n";
        for (const auto& [v, c] : p.counts.above())
            out << p.label << "\t>" << numberText(v) << "\t" << c << "\r\n";
    }
}

}  // namespace

bool isIndirectCommand(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--indirect") return true;
    return false;
}

int runIndirectCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    IndirectArgs a;
    if (auto error = parse(args, a)) return usage(err, *error);
    IndirectOptions options;
    if (a.seed) {
        const auto& s = *a.seed;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), options.seed);
        if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size())
            return usage(err, "--seed には0以上の整数を指定して下さい: " + s);
    }
    const ExtractResult extract = readExtract(a.files, a.extract);
    if (!extract.problem.empty()) {
        err << extract.problem << "\n";
        return 2;
    }
    for (const auto& n : extract.notes()) err << n << "\n";
    if (extract.kept == 0) {
        err << "条件に合う結果がありません（" << extract.rows << "行を読みました）。\n";
        return 3;
    }
    const std::string format = a.format.value_or("tsv");
    if (format == "summary") {
        writeSummary(extract, out);
    } else {
        const char sep = format == "csv" ? ',' : '\t';
        if (format == "json") {
            out << "[";
        } else {
            out << "分割";
            for (const auto& c : kColumns) out << sep << c.heading;
            out << sep << "注意\r\n";
        }
        bool firstRow = true;
        for (const auto& p : extract.partitions) {
            const IndirectResult r = estimateIndirect(p.counts, options);
            if (format == "json") {
                out << (firstRow ? "\n" : ",\n") << "{\"partition\": " << jsonString(p.label);
                for (const auto& c : kColumns) {
                    const auto v = c.get(r);
                    out << ", \"" << c.key << "\": " << (v ? numberText(*v) : std::string("null"));
                }
                out << ", \"note\": " << jsonString(note(r)) << "}";
            } else {
                out << csvField(p.label, sep);
                for (const auto& c : kColumns) {
                    const auto v = c.get(r);
                    out << sep << (v ? numberText(c.count ? *v : SigRound(*v, 4)) : std::string());
                }
                out << sep << csvField(note(r), sep) << "\r\n";
            }
            out.flush();
            firstRow = false;
        }
        if (format == "json") out << "\n]\n";
    }
    if (!out.flush()) {
        err << "標準出力に書き込めません。\n";
        return 2;
    }
    return 0;
}

}  // namespace kijunchi

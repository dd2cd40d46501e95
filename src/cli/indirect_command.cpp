#include "cli/indirect_command.h"

#include <charconv>
#include <optional>

#include "analysis/number_text.h"
#include "indirect/extract.h"
#include "indirect/indirect_estimate.h"
#include "indirect/indirect_table.h"

namespace kijunchi {

namespace {

constexpr const char* kIndirectUsage =
    "使い方: kijunchi-report --indirect --column VALUE [--count COLUMN] [--group SEX]\n"
    "          [--age AGE --age-bands LIST] [--patient ID --first-per-patient]\n"
    "          [--date DATE [--from D] [--to D]] [--where COLUMN=VALUE] [--seed N]\n"
    "          [--sheet N|名前] [--method power-shift|truncated]\n"
    "          [--format tsv|csv|json|summary] FILE…（- で標準入力）\n"
    "\n"
    "  --indirect          "
    "日常検査の結果から間接法（べき正規分布の当てはめ）で基準範囲を推定する\n"
    "  --column VALUE      "
    "結果の値の列（見出しか番号）。「<0.02」「0.02未満」「>1000」「1000以上」などは打ち切り値\n"
    "  --count COLUMN      値→件数の集計表を読む（--format summary の出力など）\n"
    "  --group SEX         性別などの分割の列\n"
    "  --age AGE           年齢の列。--age-bands 0,1,6,12,18,40,60,120 で年齢区分に分ける\n"
    "  --patient ID        患者IDの列。--first-per-patient で患者ごとに最初の結果だけを使う\n"
    "  --date DATE         検査日の列（2024-01-31 など）。--from, --to で期間を限る\n"
    "  --where COLUMN=VALUE  その列がその値の行だけを使う（外来/入院など）\n"
    "  --sheet N|名前      ブック（.xlsx, .xlsm, .xls）のシート（番号か名前。既定は最初のシート）\n"
    "  --seed N            ブートストラップの乱数の種（既定 20240）\n"
    "  --method M          power-shift（既定: 移動べき正規分布を山の周りに当てはめる）か\n"
    "                      truncated（切断べき正規分布）。もう一方の方法でも推定して確かめる\n"
    "  --format F          tsv（既定）、csv、json、summary（分割ごとの値→件数の集計表）\n";

struct IndirectArgs {
    ExtractOptions extract;
    std::optional<std::string> ageBands, from, to, format, seed, method;
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
        } else if (arg == "--sheet") {
            error = value(text);
            if (text) a.extract.sheet = *text;
        } else if (arg == "--method") {
            error = value(a.method);
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
        const auto key = dateBound(**typed, typed == &a.to);
        if (!key) return "日付として読めません: " + **typed;
        *to = *key;
    }
    if (a.format && *a.format != "tsv" && *a.format != "csv" && *a.format != "json" &&
        *a.format != "summary")
        return "--format には tsv, csv, json, summary のどれかを指定して下さい。";
    if (a.method && !indirectMethodFromKey(*a.method))
        return "--method には power-shift か truncated を指定して下さい。";
    return std::nullopt;
}

// The summary's value: the shortest text that reads back as the same number.
std::string exactNumber(double v) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

// A label cell of the summary: safe from formulas, quoted where it holds a TAB, a quote, a line
// end or another separator (or blanks at an end), as the summary's reader takes it.
std::string summaryLabel(const std::string& label) {
    std::string s = protectedLabel(label);
    const bool edge = !s.empty() && (s.front() == ' ' || s.back() == ' ');
    if (!edge && s.find_first_of("\t\"\r\n,;") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

void writeSummary(const ExtractResult& extract, std::ostream& out) {
    out << "群\t値\t件数\r\n";
    for (const auto& p : extract.partitions) {
        const std::string label = summaryLabel(p.label);
        for (const auto& [v, c] : p.counts.below())
            out << label << "\t<" << exactNumber(v) << "\t" << c << "\r\n";
        for (const auto& [v, c] : p.counts.sorted())
            out << label << "\t" << exactNumber(v) << "\t" << c << "\r\n";
        for (const auto& [v, c] : p.counts.above())
            out << label << "\t>" << exactNumber(v) << "\t" << c << "\r\n";
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
    if (a.method) options.method = *indirectMethodFromKey(*a.method);
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
        IndirectWriter writer(out, format == "csv"    ? IndirectFormat::Csv
                                   : format == "json" ? IndirectFormat::Json
                                                      : IndirectFormat::Tsv);
        for (const auto& p : extract.partitions) {
            writer.row(p.label, estimateIndirect(p.counts, options));
            out.flush();
        }
        writer.finish();
    }
    if (!out.flush()) {
        err << "標準出力に書き込めません。\n";
        return 2;
    }
    return 0;
}

}  // namespace kijunchi

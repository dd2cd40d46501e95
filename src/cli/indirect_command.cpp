#include "cli/indirect_command.h"

#include <charconv>
#include <optional>
#include <sstream>

#include "adopted/adopted_table.h"
#include "analysis/number_text.h"
#include "files/table_reader.h"
#include "indirect/adopted_columns.h"
#include "indirect/extract.h"
#include "indirect/extract_options.h"
#include "indirect/indirect_estimate.h"
#include "indirect/indirect_table.h"
#include "indirect/site_spread.h"
#include "study/batch_workbook.h"

namespace kijunchi {

namespace {

constexpr const char* kIndirectUsage =
    "使い方: kijunchi-report --indirect --column VALUE [--count COLUMN] [--group SEX] [--site "
    "SITE]\n"
    "          [--age AGE --age-bands LIST] [--patient ID --first-per-patient]\n"
    "          [--date DATE [--from D] [--to D]] [--where COLUMN=VALUE] [--seed N]\n"
    "          [--sheet N|名前] [--method power-shift|truncated]\n"
    "          [--format tsv|csv|json|xlsx|summary] [--output OUT]\n"
    "          [--against LOW,HIGH | --against-table FILE|jccls [--analyte NAME | --panel]]\n"
    "          FILE…（- で標準入力）\n"
    "\n"
    "  --indirect          "
    "日常検査の結果から間接法（べき正規分布の当てはめ）で基準範囲を推定する\n"
    "  --column VALUE      "
    "結果の値の列（見出しか番号）。「<0.02」「0.02未満」「>1000」「1000以上」などは打ち切り値\n"
    "  --count COLUMN      値→件数の集計表を読む（--format summary の出力など）\n"
    "  --group SEX         性別などの分割の列\n"
    "  --site SITE         施設の列。分割ごとに全施設と施設ごとの推定、施設間SD比を並べる\n"
    "  --age AGE           年齢の列。--age-bands 0,1,6,12,18,40,60,120 で年齢区分に分ける\n"
    "  --patient ID        患者IDの列。--first-per-patient で患者ごとに最初の結果だけを使う\n"
    "  --date DATE         検査日の列（2024-01-31 など）。--from, --to で期間を限る\n"
    "  --where COLUMN=VALUE  その列がその値の行だけを使う（外来/入院など）\n"
    "  --sheet N|名前      ブック（.xlsx, .xlsm, .xls）のシート（番号か名前。既定は最初のシート）\n"
    "  --seed N            ブートストラップの乱数の種（既定 20240）\n"
    "  --method M          power-shift（既定: 移動べき正規分布を山の周りに当てはめる）か\n"
    "                      truncated（切断べき正規分布）。もう一方の方法でも推定して確かめる\n"
    "  --format F          tsv（既定）、csv、json、xlsx（--output が必要）、summary（分割ごとの\n"
    "                      値→件数の集計表）\n"
    "  --output OUT        表を OUT に書く（全体を書けたときだけ置き換える）\n"
    "  --against LOW,HIGH  採用中の基準範囲（下限,上限）と比べ、分割ごとに判定する\n"
    "  --against-table T   採用中の基準範囲の表（CSV の表か jccls: JCCLS共用基準範囲）と比べる\n"
    "  --analyte NAME      表の項目名（既定は --column の見出し）\n"
    "  --panel             表の項目のうち見出しにある列をすべて比べる（--column は複数も可）\n";

struct IndirectArgs {
    ExtractOptions extract;
    std::optional<std::string> ageBands, from, to, format, seed, method;
    std::optional<std::string> against, againstTable, analyte, output;
    std::vector<std::string> columns;  // --column, once or more
    bool panel = false;
    std::vector<std::string> files;
};

// The options as the extract's checks name its fields.
std::string optionName(ExtractField field) {
    switch (field) {
        case ExtractField::ValueColumn:
            return "--column";
        case ExtractField::CountColumn:
            return "--count";
        case ExtractField::GroupColumn:
            return "--group";
        case ExtractField::SiteColumn:
            return "--site";
        case ExtractField::AgeColumn:
            return "--age";
        case ExtractField::AgeBands:
            return "--age-bands";
        case ExtractField::PatientColumn:
            return "--patient";
        case ExtractField::FirstPerPatient:
            return "--first-per-patient";
        case ExtractField::DateColumn:
            return "--date";
        case ExtractField::From:
            return "--from";
        case ExtractField::To:
            return "--to";
    }
    return {};
}

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
            if (text) a.columns.push_back(*text);
            column = true;
        } else if (arg == "--output") {
            error = value(a.output);
        } else if (arg == "--panel") {
            a.panel = true;
        } else if (arg == "--against") {
            error = value(a.against);
        } else if (arg == "--against-table") {
            error = value(a.againstTable);
        } else if (arg == "--analyte") {
            error = value(a.analyte);
        } else if (arg == "--count") {
            error = value(a.extract.countColumn);
        } else if (arg == "--group") {
            error = value(a.extract.groupColumn);
        } else if (arg == "--site") {
            error = value(a.extract.siteColumn);
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
    if (!column && !a.panel) return "--indirect には --column で値の列を指定して下さい。";
    if (a.against && a.againstTable) return "--against と --against-table は一緒に使えません。";
    if ((a.analyte || a.panel) && !a.againstTable)
        return "--analyte と --panel には --against-table で表を指定して下さい。";
    if (a.analyte && (a.panel || a.columns.size() > 1))
        return "--analyte は --column が1つのときに使えます（パネルでは列の見出しが項目名です）。";
    if (a.columns.size() > 1 && !a.panel)
        return "--column を複数指定するときは --panel を付けて下さい。";
    if ((a.against || a.againstTable) && a.format && *a.format == "summary")
        return "--format summary は採用中の基準範囲との比較には使えません。";
    if (!a.columns.empty()) a.extract.valueColumn = a.columns.front();
    if (a.files.empty()) return "--indirect では抽出したデータのファイルを指定して下さい。";
    if (auto problem = validateExtractOptions(a.extract, {a.ageBands, a.from, a.to}, optionName);
        !problem.empty())
        return problem;
    if (a.format && *a.format != "tsv" && *a.format != "csv" && *a.format != "json" &&
        *a.format != "xlsx" && *a.format != "summary")
        return "--format には tsv, csv, json, xlsx, summary のどれかを指定して下さい。";
    if (a.format && *a.format == "xlsx" && !a.output)
        return "--format xlsx では --output で書き出すファイルを指定して下さい。";
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

// The value → count tables; with a site column, one per site of each partition, the site in a
// column of its own so that the pool can keep it (--site 施設).
void writeSummary(const ExtractResult& extract, bool sites, std::ostream& out) {
    out << (sites ? "群\t施設\t値\t件数\r\n" : "群\t値\t件数\r\n");
    const auto write = [&](const std::string& lead, const ValueCounts& counts) {
        for (const auto& [v, c] : counts.below())
            out << lead << "\t<" << exactNumber(v) << "\t" << c << "\r\n";
        for (const auto& [v, c] : counts.sorted())
            out << lead << "\t" << exactNumber(v) << "\t" << c << "\r\n";
        for (const auto& [v, c] : counts.above())
            out << lead << "\t>" << exactNumber(v) << "\t" << c << "\r\n";
    };
    for (const auto& p : extract.partitions) {
        const std::string label = summaryLabel(p.label);
        if (!sites) write(label, p.counts);
        for (const auto& [site, counts] : p.sites) write(label + "\t" + summaryLabel(site), counts);
    }
}

}  // namespace

bool isIndirectCommand(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--indirect") return true;
    return false;
}

int runIndirectCommand(const std::vector<std::string>& args, std::ostream& standardOut,
                       std::ostream& err) {
    IndirectArgs a;
    if (auto error = parse(args, a)) return usage(err, *error);
    // With --output the table is written to the file once whole.
    std::ostringstream buffer;
    std::ostream& out = a.output ? static_cast<std::ostream&>(buffer) : standardOut;
    IndirectOptions options;
    if (a.seed) {
        const auto& s = *a.seed;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), options.seed);
        if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size())
            return usage(err, "--seed には0以上の整数を指定して下さい: " + s);
    }
    if (a.method) options.method = *indirectMethodFromKey(*a.method);
    // The adopted interval the estimates are compared with, if any.
    AdoptedChoice choice;
    AdoptedTable table;
    if (a.against) {
        const auto comma = a.against->find(',');
        const auto low =
            comma == std::string::npos ? std::nullopt : wholeNumber(a.against->substr(0, comma));
        const auto high =
            comma == std::string::npos ? std::nullopt : wholeNumber(a.against->substr(comma + 1));
        if (!low || !high || !(*low < *high))
            return usage(err,
                         "--against には 下限,上限 の形で下限が上限より小さい2つの数値を"
                         "指定して下さい: " +
                             *a.against);
        choice.typed = std::make_pair(*low, *high);
    }
    if (a.againstTable) {
        table = loadAdoptedTable(*a.againstTable);
        if (!table.problem.empty()) {
            err << table.problem << "\n";
            return 2;
        }
        choice.table = &table;
    }
    const bool comparing = a.against || a.againstTable;
    // The value columns and the analyte each stands for.
    std::vector<std::pair<std::string, std::string>> columns;
    if (a.panel && a.columns.empty()) {
        std::string problem;
        auto reader = TableReader::open(a.files.front(), problem, a.extract.sheet);
        if (!reader) {
            err << problem << "\n";
            return 2;
        }
        for (const auto& h : reader->headings())
            if (!findAnalyte(table, h).empty()) columns.emplace_back(h, h);
        if (columns.empty()) {
            err << a.files.front() << " の見出しに " << table.name
                << " の項目に当たる列がありません。\n";
            return 3;
        }
    } else {
        for (const auto& c : a.columns) columns.emplace_back(c, a.analyte.value_or(c));
    }
    const std::string format = a.format.value_or("tsv");
    const bool sites = a.extract.siteColumn.has_value();
    std::vector<ExtraColumn> after;
    if (sites) after = siteColumns();
    if (comparing)
        for (auto& c : adoptedColumns()) after.push_back(std::move(c));
    std::optional<IndirectWriter> writer;
    // Made at the first row, so that nothing is written when no column gives results.
    auto table_writer = [&]() -> IndirectWriter& {
        if (!writer)
            writer.emplace(out,
                           format == "csv"    ? IndirectFormat::Csv
                           : format == "json" ? IndirectFormat::Json
                                              : IndirectFormat::Tsv,
                           a.panel ? std::vector<ExtraColumn>{{"項目", "analyte"}}
                                   : std::vector<ExtraColumn>{},
                           after);
        return *writer;
    };
    int rows = 0;
    for (const auto& [column, analyte] : columns) {
        ExtractOptions eo = a.extract;
        eo.valueColumn = column;
        const ExtractResult extract = readExtract(a.files, eo);
        const std::string prefix = a.panel ? column + ": " : std::string();
        if (!extract.problem.empty()) {
            err << prefix << extract.problem << "\n";
            return 2;
        }
        for (const auto& n : extract.notes()) err << prefix << n << "\n";
        if (extract.kept == 0) {
            err << prefix << "条件に合う結果がありません（" << extract.rows
                << "行を読みました）。\n";
            continue;
        }
        if (format == "summary") {
            writeSummary(extract, sites, out);
            ++rows;
            continue;
        }
        AdoptedChoice forColumn = choice;
        forColumn.analyte = analyte;
        for (const auto& p : extract.partitions) {
            std::vector<ExtraCell> before;
            if (a.panel) before.push_back(ExtraCell::of(column));
            const auto write = [&](const IndirectResult& r, const IndirectSiteCells* site) {
                std::vector<ExtraCell> cells;
                if (site) cells = siteExtraCells(*site);
                if (comparing)
                    for (auto& c : adoptedCells(compareWithPartition(forColumn, p, eo.ageBands, r)))
                        cells.push_back(std::move(c));
                table_writer().row(p.label, r, before, cells);
                ++rows;
            };
            const IndirectResult pooled = estimateIndirect(p.counts, options);
            if (!sites) {
                write(pooled, nullptr);
            } else {
                // The pool's row, then each site's, fitted alone.
                std::vector<std::string> names;
                std::vector<IndirectResult> results;
                for (const auto& [site, counts] : p.sites) {
                    names.push_back(site);
                    results.push_back(estimateIndirect(counts, options));
                }
                const auto cells = siteCells(names, pooled, results);
                write(pooled, &cells[0]);
                for (std::size_t i = 0; i < results.size(); ++i) write(results[i], &cells[i + 1]);
            }
            out.flush();
        }
    }
    if (writer) writer->finish();
    if (a.output && rows > 0) {
        const std::string problem = format == "xlsx"
                                        ? writeTsvWorkbook(*a.output, "間接法", buffer.str())
                                        : writeFileWhole(*a.output, buffer.str());
        if (!problem.empty()) {
            err << problem << "\n";
            return 2;
        }
    }
    if (!out.flush()) {
        err << "標準出力に書き込めません。\n";
        return 2;
    }
    return rows == 0 ? 3 : 0;
}

}  // namespace kijunchi

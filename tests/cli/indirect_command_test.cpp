// kijunchi-report --indirect on bad extracts: each says what is wrong, none aborts.
#include "cli/indirect_command.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

#include "files/table_reader.h"
#include "indirect/extract.h"
#include "support/indirect_runs.h"
#include "support/temp_files.h"

namespace kijunchi {
namespace {

TEST(IndirectCommand, BadExtractsGiveTheirMessage) {
    testing::TempFolder folder;
    std::string rows = "性別,年齢,日付,値\n";
    for (int i = 0; i < 10; ++i) rows += "男,30,2024-01-0" + std::to_string(i % 9 + 1) + ",5\n";
    rows += "女,30,2024-02-30,<1\n";
    const std::string file = folder.write("ten.csv", rows);
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* out;  // in standard output ("" for none)
        const char* err;  // in standard error
    } cases[] = {
        {"no value column",
         {"--indirect", "--column", "結果", file},
         2,
         "",
         "値の列が見つかりません"},
        {"bands out of order",
         {"--indirect", "--column", "値", "--age", "年齢", "--age-bands", "0,40,18", file},
         2,
         "",
         "小さい順"},
        {"bands without an age column: the options named",
         {"--indirect", "--column", "値", "--age-bands", "0,18", file},
         2,
         "",
         "--age-bands を使うには --age を指定して下さい。"},
        {"partition of 10",
         {"--indirect", "--column", "値", "--group", "性別", file},
         0,
         "結果が10個しかありません",
         ""},
        {"all censored",
         {"--indirect", "--column", "値", "--group", "性別", file},
         0,
         "すべての結果が「<」「>」付き",
         ""},
        {"dates that do not parse",
         {"--indirect", "--column", "値", "--date", "日付", file},
         0,
         "",
         "日付を読めない1行"},
        {"no rows left",
         {"--indirect", "--column", "値", "--where", "性別=不明", file},
         3,
         "",
         "条件に合う結果がありません"},
        {"no file", {"--indirect", "--column", "値"}, 2, "", "ファイルを指定"},
        {"too small a partition is not judged",
         {"--indirect", "--column", "値", "--group", "性別", "--against", "1,9", file},
         0,
         "判定できません（推定できません: 結果が10個しかありません",
         ""},
        {"a sex's row of the table is not judged",
         {"--indirect", "--column", "値", "--against-table", "jccls", "--analyte", "ALT", file},
         0,
         "性別ごとですが、この分割に性別がありません",
         ""},
        {"limits out of order",
         {"--indirect", "--column", "値", "--against", "9,1", file},
         2,
         "",
         "下限が上限より小さい"},
        {"analyte without a table",
         {"--indirect", "--column", "値", "--analyte", "AST", file},
         2,
         "",
         "--against-table"},
        {"no column of the panel",
         {"--indirect", "--panel", "--against-table", "jccls", file},
         3,
         "",
         "項目に当たる列がありません"},
        {"unknown method",
         {"--indirect", "--column", "値", "--method", "kosmic", file},
         2,
         "",
         "power-shift か truncated"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = testing::runIndirect(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
}

// The same extract as CSV and as the second sheet of a workbook, dates as date cells (serial
// 45292 is 2024-01-01) and results below a limit as text: the same rows are kept and the same
// estimates come out, whichever was read. A sheet the workbook lacks is refused.
TEST(IndirectCommand, WorkbookExtractGivesWhatItsCsvGives) {
    testing::TempFolder folder;
    const std::string bookPath = (folder.path() / "extract.xlsx").string();
    lxw_workbook* book = workbook_new(bookPath.c_str());
    lxw_worksheet* sheet = testing::resultsSheet(book, {"性別", "年齢", "日付", "区分", "値"});
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy/mm/dd");
    std::string csv = "性別,年齢,日付,区分,値\n";
    for (int i = 0; i < 3200; ++i) {
        const auto r = static_cast<lxw_row_t>(i + 1);
        const char* sex = i % 2 ? "女" : "男";
        const int age = 20 + i % 50, day = 1 + i % 28;
        const char* setting = i % 7 == 0 ? "入院" : "外来";
        // Values on a 0.1 grid from 4.0 to 7.0, bell-shaped (three sums), with the odd result below
        // the limit of 3.
        const int tenths = 40 + (i * 37) % 11 + (i * 53) % 13 + (i * 71) % 9;
        const bool below = i % 53 == 0;
        const std::string shown =
            below ? "<3" : std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
        worksheet_write_string(sheet, r, 0, sex, nullptr);
        worksheet_write_number(sheet, r, 1, age, nullptr);
        worksheet_write_number(sheet, r, 2, 45291 + day, date);
        worksheet_write_string(sheet, r, 3, setting, nullptr);
        if (below)
            worksheet_write_string(sheet, r, 4, "<3", nullptr);
        else
            worksheet_write_number(sheet, r, 4, tenths / 10.0, nullptr);
        csv += std::string(sex) + "," + std::to_string(age) + ",2024-01-" + (day < 10 ? "0" : "") +
               std::to_string(day) + "," + setting + "," + shown + "\n";
    }
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    const std::string csvPath = folder.write("extract.csv", csv);

    const std::vector<std::string> options = {
        "--indirect", "--column",    "値",         "--group", "性別",     "--age",
        "年齢",       "--age-bands", "18,70",      "--date",  "日付",     "--from",
        "2024-01-03", "--to",        "2024-01-25", "--where", "区分=外来"};
    const auto run = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = options;
        args.insert(args.end(), extra.begin(), extra.end());
        return testing::runIndirect(args);
    };
    const auto csvRun = run({csvPath});
    ASSERT_EQ(csvRun.status, 0) << csvRun.err;
    EXPECT_NE(csvRun.err.find("日付が期間外の"), std::string::npos) << csvRun.err;
    EXPECT_NE(csvRun.out.find("女 18歳以上70歳未満"), std::string::npos) << csvRun.out;
    auto bookRun = run({"--sheet", "結果", bookPath});
    EXPECT_EQ(bookRun.status, 0) << bookRun.err;
    EXPECT_EQ(bookRun.out, csvRun.out);
    EXPECT_EQ(bookRun.err, csvRun.err);
    bookRun = run({"--sheet", "2", bookPath});
    EXPECT_EQ(bookRun.status, 0) << bookRun.err;
    EXPECT_EQ(bookRun.out, csvRun.out);

    bookRun = run({"--sheet", "検査", csvPath, bookPath});
    EXPECT_EQ(bookRun.status, 2);
    EXPECT_EQ(bookRun.out, "");
    EXPECT_NE(bookRun.err.find("シート「検査」がありません"), std::string::npos) << bookRun.err;
    EXPECT_EQ(std::count(bookRun.err.begin(), bookRun.err.end(), '\n'), 1) << bookRun.err;
}

std::string summaryOf(std::vector<std::string> args, std::string& err) {
    args.insert(args.begin(), {"--indirect", "--column", "値", "--format", "summary"});
    const auto run = testing::runIndirect(args);
    EXPECT_EQ(run.status, 0) << run.err;
    err = run.err;
    return run.out;
}

// The summary carries every label through a TAB, quotes, a line end and a formula's prefix, and
// the pool reads back exactly what the site wrote: the same labels, values and counts.
TEST(IndirectCommand, SummaryReadsBackWhatItWrote) {
    testing::TempFolder folder;
    const std::set<std::string> labels = {
        "a\tb",        "q\"uote\"", "line\nbreak", "=HYPERLINK(\"x\")",
        "'=already'",  "-minus",    "+1",          "@at",
        "'apostrophe", "普通",      "x,y;z"};
    std::string extract = "群,値\r\n";
    for (const auto& l : labels) {
        std::string quoted = "\"";
        for (char c : l) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        quoted += "\"";
        extract += quoted + ",0.1\r\n" + quoted + ",<0.02\r\n" + quoted + ",1000以上\r\n";
        extract += quoted + ",0.30000000000000004\r\n";
    }
    std::string err;
    const std::string site = summaryOf({"--group", "群", folder.write("site.csv", extract)}, err);
    // One row per partition and value, the label's line end inside its quotes.
    EXPECT_EQ(std::count(site.begin(), site.end(), '\r'), 1 + 4 * 11) << site;
    EXPECT_NE(site.find("'=HYPERLINK("), std::string::npos);
    const std::string sitePath = folder.write("site.tsv", site);
    const std::string pooled = summaryOf({"--count", "件数", "--group", "群", sitePath}, err);
    EXPECT_EQ(pooled, site);
    EXPECT_EQ(err, "");

    ExtractOptions o;
    o.valueColumn = "値";
    o.countColumn = "件数";
    o.groupColumn = "群";
    const auto r = readExtract({sitePath}, o);
    std::set<std::string> back;
    for (const auto& p : r.partitions) back.insert(p.label);
    EXPECT_EQ(back, labels);
    EXPECT_EQ(r.partitions[0].counts.sorted().back().first, 0.30000000000000004);
}

// Standard input and a gzip file give what the file gives.
TEST(IndirectCommand, StandardInputAndGzipGiveWhatTheFileGives) {
    testing::TempFolder folder;
    std::string text = "性別,値\n";
    for (int i = 0; i < 3000; ++i)
        text += std::string(i % 2 ? "女" : "男") + "," + std::to_string(40 + i % 23) + "\n";
    const std::string file = folder.write("e.csv", text);
    ASSERT_EQ(std::system(("gzip -k " + file).c_str()), 0);
    std::string err;
    const std::string plain = summaryOf({"--group", "性別", file}, err);
    EXPECT_EQ(summaryOf({"--group", "性別", file + ".gz"}, err), plain);
    const std::string command = std::string(KIJUNCHI_REPORT_EXE) +
                                " --indirect --column 値 --group 性別 --format summary - < " + file;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string fromStdin;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        fromStdin.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(fromStdin, plain);
    EXPECT_NE(plain.find("女\t62\t65\r\n"), std::string::npos);  // 1500 women over 23 values
}

}  // namespace
}  // namespace kijunchi

namespace kijunchi {
namespace {

// A panel: every analyte of the JCCLS table among the headings (AST, ALT, not 値), one row per
// analyte and partition with the analyte first; the xlsx holds what the TSV holds.
TEST(IndirectCommand, APanelOfTheTablesAnalytesInOneTable) {
    testing::TempFolder folder;
    std::string rows = "性別,AST,値,ALT\n";
    for (int i = 0; i < 30; ++i) rows += std::string(i % 2 ? "男" : "女") + ",20,5,15\n";
    const std::string file = folder.write("panel.csv", rows);
    const std::vector<std::string> args{
        "--indirect", "--panel", "--against-table", "jccls", "--group", "性別", file};
    const auto command = testing::runIndirect(args);
    ASSERT_EQ(command.status, 0) << command.err;
    std::vector<std::string> lines;
    std::istringstream in(command.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 5u);  // headings, AST 女 男, ALT 女 男
    EXPECT_EQ(lines[0].rfind("項目\t分割\t結果数", 0), 0u);
    EXPECT_EQ(lines[1].rfind("AST\t女\t15", 0), 0u);
    EXPECT_EQ(lines[4].rfind("ALT\t男\t15", 0), 0u);
    // ALT for men is 10–42 U/L in the table; too few results to judge.
    EXPECT_NE(lines[4].find("\t10\t42\t"), std::string::npos);
    EXPECT_NE(lines[4].find("判定できません（推定できません"), std::string::npos);

    auto xlsxArgs = args;
    const std::string book = folder.file("panel.xlsx");
    xlsxArgs.insert(xlsxArgs.end() - 1, {"--format", "xlsx", "--output", book});
    const auto written = testing::runIndirect(xlsxArgs);
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "");
    std::string problem;
    auto table = TableReader::open(book, problem, "1");
    ASSERT_TRUE(table) << problem;
    std::vector<std::string_view> fields;
    ASSERT_TRUE(table->nextRow(fields));
    EXPECT_EQ(table->text(fields[0]), "AST");
    EXPECT_EQ(table->number(fields[2]), 15);
}

}  // namespace
}  // namespace kijunchi

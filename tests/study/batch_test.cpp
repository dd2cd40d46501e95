#include "study/batch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>

#include "files/data_file.h"
#include "study/table_stream.h"

namespace kijunchi {
namespace {

// A file in the test's temporary folder, written byte for byte.
class TempFile {
public:
    TempFile(const std::string& name, const std::string& bytes)
        : path_(std::filesystem::temp_directory_path() /
                ("kijunchi-study-" + std::to_string(::getpid()) + "-" + name)) {
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~TempFile() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

TableStream openTable(const TempFile& file) {
    std::string problem;
    auto t = TableStream::open(file.path(), problem);
    EXPECT_TRUE(t) << problem;
    return std::move(*t);
}

std::vector<std::vector<std::string>> allRows(TableStream& t) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string_view> fields;
    t.restart();
    while (t.nextRow(fields)) rows.emplace_back(fields.begin(), fields.end());
    return rows;
}

TEST(TableStream, CsvWithBomQuotesAndCrLf) {
    TempFile f("quotes.csv",
               "\xEF\xBB\xBF"
               "Na,\"K, serum\",sex\r\n140,4.1,F\r\n\r\n\"141\",\"3,9\",\"M \"\"x\"\"\"\r\n");
    auto t = openTable(f);
    EXPECT_EQ(t.separator(), ',');
    EXPECT_EQ(t.headings(), (std::vector<std::string>{"Na", "K, serum", "sex"}));
    const auto rows = allRows(t);
    ASSERT_EQ(rows.size(), 2u);  // the blank line is passed over
    EXPECT_EQ(rows[1], (std::vector<std::string>{"141", "3,9", "M \"x\""}));
    EXPECT_EQ(t.number(rows[1][0]), 141.0);
    // "," is no decimal mark in a comma file, and "3,9" is no thousands separator: the field
    // is no number (it is counted), never the 3 it begins with.
    EXPECT_EQ(t.number(rows[1][1]), std::nullopt);
    // A second pass reads the same rows again.
    EXPECT_EQ(allRows(t), rows);
}

TEST(TableStream, ShiftJisHeadingsSemicolonsAndDecimalCommas) {
    // 性別 in Shift_JIS is 90 AB 95 CA; 女 is 8F 97.
    TempFile f("sjis.csv", "Ca;\x90\xAB\x95\xCA\r\n9,5;\x8F\x97\r\n10,25;\x8F\x97\r\n");
    auto t = openTable(f);
    EXPECT_EQ(t.separator(), ';');
    EXPECT_TRUE(t.decimalComma());
    EXPECT_EQ(t.headings()[1], "性別");
    const auto rows = allRows(t);
    EXPECT_EQ(t.number(rows[1][0]), 10.25);
    EXPECT_EQ(t.text(rows[0][1]), "女");
    EXPECT_EQ(t.findColumn("性別"), 1u);
    EXPECT_EQ(t.findColumn("1"), 0u);
    EXPECT_FALSE(t.findColumn("3"));
}

TEST(TableStream, NumbersOnlyGiveNumberedColumnsAndBadFilesAMessage) {
    TempFile f("plain.tsv", "1\t2\n3\t4\t5\n");
    auto t = openTable(f);
    EXPECT_EQ(t.headings(), (std::vector<std::string>{"列1", "列2", "列3"}));
    EXPECT_EQ(allRows(t).size(), 2u);

    std::string problem;
    EXPECT_FALSE(TableStream::open("/nonexistent/kijunchi.csv", problem));
    EXPECT_EQ(problem, "ファイル「/nonexistent/kijunchi.csv」が見つかりません。");
    TempFile empty("empty.csv", "");
    EXPECT_FALSE(TableStream::open(empty.path(), problem));
    EXPECT_EQ(problem, "ファイル「" + empty.path() + "」は空です。");
    // UTF-16 with its byte order mark: "x\n1\n2\n", little-endian.
    TempFile utf16("utf16.csv", std::string("\xFF\xFEx\0\n\0"
                                            "1\0\n\0"
                                            "2\0\n\0",
                                            14));
    auto u = TableStream::open(utf16.path(), problem);
    ASSERT_TRUE(u) << problem;
    EXPECT_EQ(u->headings(), std::vector<std::string>{"x"});
    EXPECT_EQ(allRows(*u), (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
}

// An evaluator for the batch's own logic: the mean as the one figure, and a record of every
// set it was given.
struct MeanEvaluator {
    std::vector<std::size_t> sizes;
    void operator()(const std::vector<double>& values, BatchRow& row) {
        sizes.push_back(values.size());
        row.paramLower = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    }
};

TEST(Batch, RowsPerAnalyteAndGroupWithAMessageForEveryGap) {
    // Column A: 25 women and 25 men; B: no numbers at all; C: only 3 men's values and a bad
    // field; the group column stands in the middle; one row has no group.
    std::string text = "A,sex,B,C\r\n";
    for (int i = 0; i < 50; ++i) {
        const bool woman = i < 25;
        text += std::to_string(woman ? 10 + i % 5 : 20 + i % 5) + "," + (woman ? "F" : "M") +
                ",x," +
                (i >= 47   ? "7"
                 : i == 46 ? "?"
                           : "") +
                "\r\n";
    }
    text += "99,,x,\r\n";
    TempFile f("groups.csv", text);
    auto t = openTable(f);
    MeanEvaluator evaluator;
    std::vector<BatchRow> rows;
    BatchOptions options;
    options.groupColumn = t.findColumn("sex");
    const auto summary = runBatch(
        t, options, [&](const std::vector<double>& v, BatchRow& r) { evaluator(v, r); },
        [&](const BatchRow& r) { rows.push_back(r); });
    EXPECT_EQ(summary.analytes, 3);
    EXPECT_FALSE(summary.cancelled);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].analyte, "A");
    EXPECT_EQ(rows[0].group, "F");
    EXPECT_EQ(rows[0].n, 25);
    EXPECT_DOUBLE_EQ(*rows[0].paramLower, 12.0);
    EXPECT_EQ(rows[1].group, "M");
    EXPECT_DOUBLE_EQ(*rows[1].paramLower, 22.0);
    EXPECT_EQ(rows[0].partition, "グループごと");
    EXPECT_EQ(rows[0].message, "グループが空欄の値1個は評価していません。");
    EXPECT_EQ(rows[2].analyte, "B");
    EXPECT_EQ(rows[2].n, 0);
    EXPECT_EQ(rows[2].message.rfind("数値がありません。", 0), 0u) << rows[2].message;
    EXPECT_NE(rows[2].message.find("数値でない欄25個を読み飛ばしました。"), std::string::npos);
    EXPECT_EQ(rows[5].analyte, "C");
    EXPECT_EQ(rows[5].n, 3);
    EXPECT_NE(rows[5].message.find("値が20個未満のため、基準範囲は推奨できません。"),
              std::string::npos);
    EXPECT_NE(rows[5].message.find("数値でない欄1個"), std::string::npos) << rows[5].message;
    // Below 20 values no limit is recommended, and none is shown.
    EXPECT_FALSE(rows[5].paramLower || rows[5].npLower || rows[5].robustUpper);
    // C's women have no values and men only three: the partition study refuses, and says so.
    EXPECT_NE(rows[5].message.find("比較できるグループ"), std::string::npos);
    // The evaluator never saw more than one set at a time, and never an empty one.
    EXPECT_EQ(evaluator.sizes, (std::vector<std::size_t>{25, 25, 3}));
}

TEST(Batch, OneGroupOnlyIsSaidOnEveryRow) {
    std::string text = "v\tg\n";
    for (int i = 0; i < 20; ++i) text += std::to_string(i) + "\tF\n";
    TempFile f("onegroup.tsv", text);
    auto t = openTable(f);
    std::vector<BatchRow> rows;
    BatchOptions options;
    options.groupColumn = 1;
    runBatch(
        t, options, [](const std::vector<double>&, BatchRow&) {},
        [&](const BatchRow& r) { rows.push_back(r); });
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(rows[0].message.find("グループが1つしかありません（「F」）"), std::string::npos);
    EXPECT_EQ(rows[0].partition, "");
}

TEST(Batch, CancelKeepsTheRowsDone) {
    TempFile f("cancel.csv", "a,b,c\n1,2,3\n");
    auto t = openTable(f);
    std::vector<BatchRow> rows;
    const auto summary = runBatch(
        t, {}, [](const std::vector<double>&, BatchRow&) {},
        [&](const BatchRow& r) { rows.push_back(r); },
        [](int done, int total) {
            EXPECT_EQ(total, 3);
            return done < 2;
        });
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.analytes, 2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].analyte, "b");
}

// Nine analytes in two groups (M on every third row, the first), each with a gap where the row
// number modulo 7 is its own number.
std::string nineAnalytes() {
    std::string text = "g";
    for (int a = 0; a < 9; ++a) text += ",a" + std::to_string(a);
    text += "\n";
    for (int i = 0; i < 60; ++i) {
        text += i % 3 ? "F" : "M";
        for (int a = 0; a < 9; ++a)
            text += "," + (i % 7 == a ? std::string() : std::to_string((i * 13 + a * 5) % 17));
        text += "\n";
    }
    return text;
}

// The sets one thread hands on when the first column is the group, in the order it hands them.
std::vector<std::vector<double>> setsByGroup(const TempFile& f) {
    auto t = openTable(f);
    std::vector<std::vector<double>> seen;
    BatchOptions options;
    options.groupColumn = 0;
    options.threads = 1;
    runBatch(
        t, options, [&](std::vector<double> v, BatchRow&) { seen.push_back(std::move(v)); },
        [](const BatchRow&) {});
    return seen;
}

// The sets are kept per analyte and group as the rows come: each group's values reach the
// evaluation in the order of the file (the outlier rules and their positions depend on it),
// with rows of other groups, blanks and text between them.
TEST(Batch, EachGroupsValuesComeInTheOrderOfTheFile) {
    TempFile f("order.csv", "g,v\nB,5\nA,3\nB,x\nA,1\n,7\nB,4\nA,\nA,2\nB,6\n");
    const auto seen = setsByGroup(f);
    EXPECT_EQ(seen, (std::vector<std::vector<double>>{{5, 4, 6}, {3, 1, 2}}));
}

// The same past the 256th group, where the batch keeps each value's group in more than a byte:
// 300 groups, each with its values k and 1000 + k on two passes through them.
TEST(Batch, ValuesFindTheirGroupsPastTheTwoHundredFiftySixth) {
    std::string text = "g,v\n";
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 0; k < 300; ++k)
            text += "G" + std::to_string(k) + "," + std::to_string(1000 * pass + k) + "\n";
    TempFile f("many-groups.csv", text);
    const auto seen = setsByGroup(f);
    ASSERT_EQ(seen.size(), 300u);
    for (int k : {0, 255, 256, 299})
        EXPECT_EQ(seen[static_cast<std::size_t>(k)], (std::vector<double>{k + 0.0, 1000.0 + k}));
}

BatchEvaluator meanOfSet() {
    return [](const std::vector<double>& values, BatchRow& row) {
        row.paramLower = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    };
}

TEST(Batch, ThreadsGiveTheRowsOfOneThreadInTheFileOrder) {
    TempFile f("threads.csv", nineAnalytes());
    auto t = openTable(f);
    auto rowsOn = [&](int threads) {
        BatchOptions options;
        options.groupColumn = 0;
        options.threads = threads;
        std::vector<BatchRow> rows;
        const auto summary =
            runBatch(t, options, meanOfSet, [&](const BatchRow& r) { rows.push_back(r); });
        EXPECT_EQ(summary.analytes, 9);
        EXPECT_FALSE(summary.cancelled);
        return rows;
    };
    const auto one = rowsOn(1);
    ASSERT_EQ(one.size(), 18u);
    for (int a = 0; a < 9; ++a) {
        int men = 0, women = 0;
        for (int i = 0; i < 60; ++i)
            if (i % 7 != a) ++(i % 3 ? women : men);
        const auto& m = one[static_cast<std::size_t>(2 * a)];
        const auto& w = one[static_cast<std::size_t>(2 * a + 1)];
        EXPECT_EQ(m.analyte, "a" + std::to_string(a));
        EXPECT_EQ(m.group, "M");
        EXPECT_EQ(m.n, men);
        EXPECT_EQ(w.group, "F");
        EXPECT_EQ(w.n, women);
    }
    for (const int threads : {2, 3, 16}) {
        const auto many = rowsOn(threads);
        ASSERT_EQ(many.size(), one.size()) << threads;
        for (std::size_t r = 0; r < one.size(); ++r) {
            EXPECT_EQ(many[r].analyte, one[r].analyte) << threads;
            EXPECT_EQ(many[r].group, one[r].group);
            EXPECT_EQ(many[r].n, one[r].n);
            EXPECT_EQ(many[r].paramLower, one[r].paramLower);
            EXPECT_EQ(many[r].message, one[r].message);
        }
    }
}

// A cancel on several threads stops where progress said, as on one thread: the rows are those
// of the first analytes, whole, however far the other threads had gone.
TEST(Batch, ACancelOnThreadsKeepsTheFirstAnalytesWhole) {
    TempFile f("cancel-threads.csv", nineAnalytes());
    auto t = openTable(f);
    BatchOptions options;
    options.groupColumn = 0;
    options.threads = 2;
    std::vector<BatchRow> rows;
    const auto summary = runBatch(
        t, options, meanOfSet, [&](const BatchRow& r) { rows.push_back(r); },
        [](int done, int) { return done < 1; });
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.analytes, 1);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].analyte, "a0");
    EXPECT_EQ(rows[1].analyte, "a0");
}

// A column without a cell (no heading, no field in any row) is no analyte and has no row: a
// wide sheet of a few cells with a group on every row would otherwise give a row for every
// column and group. A column with a heading, or with a field that is no number, stays.
TEST(Batch, AColumnWithoutACellIsNoAnalyte) {
    // Columns: g, (nothing), Ca, (no heading, one text field), K (heading only), (nothing after
    // the trailing separator).
    TempFile f("empty-columns.csv", "g,,Ca,,K,\r\nF,,1,,,\r\nM,,2,x,,\r\n");
    auto t = openTable(f);
    struct Case {
        std::optional<std::size_t> group;
        int threads;
        std::vector<std::size_t> columns;
        std::vector<std::string> analytes;  // of the rows, in order
    };
    const Case cases[] = {
        {0, 1, {2, 3, 4}, {"Ca", "Ca", "列4", "列4", "K", "K"}},
        {0, 3, {2, 3, 4}, {"Ca", "Ca", "列4", "列4", "K", "K"}},
        {std::nullopt, 1, {0, 2, 3, 4}, {"g", "Ca", "列4", "K"}},
    };
    for (const Case& c : cases) {
        BatchOptions options;
        options.groupColumn = c.group;
        options.threads = c.threads;
        std::vector<std::string> analytes;
        const auto summary = runBatch(t, options, meanOfSet,
                                      [&](const BatchRow& r) { analytes.push_back(r.analyte); });
        EXPECT_EQ(summary.analyteColumns, c.columns) << c.threads;
        EXPECT_EQ(summary.analytesTotal, static_cast<int>(c.columns.size()));
        EXPECT_EQ(analytes, c.analytes) << c.threads;
    }
    // A sink that fails on several threads ends the batch with its failure, the threads that
    // wait for room to hand on their rows (nine analytes, two threads) woken and joined.
    TempFile nine("sink-fails.csv", nineAnalytes());
    auto u = openTable(nine);
    BatchOptions options;
    options.groupColumn = 0;
    options.threads = 2;
    EXPECT_THROW(
        runBatch(u, options, meanOfSet, [](const BatchRow&) { throw std::runtime_error("full"); }),
        std::runtime_error);
}

TEST(BatchWriter, CellsStandUnderTheirHeadings) {
    BatchRow row;
    row.analyte = "Na", row.group = "F", row.n = 3;
    row.paramUpper = 145.678, row.sdr = 0.1234567;
    struct Case {
        bool grouped;
        std::string heading, text;
        bool number;
    };
    const Case cases[] = {
        {false, "項目", "Na", false},       {false, "データ数", "3", true},
        {false, "パラ上限", "145.7", true}, {false, "ノンパラ下限", "", true},
        {false, "注意", "", false},         {true, "グループ", "F", false},
        {true, "SDR", "0.1235", true},      {true, "分割", "", false},
    };
    for (const Case& c : cases) {
        const auto headings = batchHeadings(c.grouped);
        const auto cells = batchCells(row, c.grouped);
        ASSERT_EQ(cells.size(), headings.size());
        const auto at = std::find(headings.begin(), headings.end(), c.heading);
        ASSERT_NE(at, headings.end()) << c.heading;
        const BatchCell& cell = cells[static_cast<std::size_t>(at - headings.begin())];
        EXPECT_EQ(cell.text, c.text) << c.heading;
        EXPECT_EQ(cell.number, c.number) << c.heading;
    }
}

TEST(BatchWriter, TsvCsvAndJson) {
    BatchRow row;
    row.analyte = "K, \"serum\"";
    row.group = "F";
    row.n = 120;
    row.npLower = 3.456789;
    row.outliers = 2;
    row.recommendation = "ノンパラメトリック法";
    row.sdr = 0.52119;
    row.partition = "グループごと";

    std::ostringstream tsv;
    BatchWriter t(tsv, BatchFormat::Tsv, false);
    t.row(row);
    t.finish();
    EXPECT_EQ(
        tsv.str(),
        "項目\tデータ数\tノンパラ下限\t下限90%CI下\t下限90%CI上\tノンパラ上限\t上限90%CI下\t"
        "上限90%CI上\tパラ下限\tパラ上限\tλ\t変換パラ下限\t変換パラ上限\tロバスト下限\t"
        "ロバスト上限\t変換ロバスト下限\t変換ロバスト上限\t歪度p\t尖度p\tカイ二乗p\t外れ値\t推奨\t"
        "注意\r\n"
        "K, \"serum\"\t120\t3.457\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t2\tノンパラメトリック法\t"
        "\r\n");

    std::ostringstream csv;
    BatchWriter c(csv, BatchFormat::Csv, true);
    c.row(row);
    c.finish();
    const std::string csvText = csv.str();
    EXPECT_NE(csvText.find("\r\n\"K, \"\"serum\"\"\",F,120,3.457,"), std::string::npos) << csvText;
    EXPECT_NE(csvText.find(",2,ノンパラメトリック法,0.5212,グループごと,\r\n"), std::string::npos);

    std::ostringstream json;
    BatchWriter j(json, BatchFormat::Json, true);
    j.row(row);
    j.row(row);
    j.finish();
    const std::string jsonText = json.str();
    EXPECT_EQ(jsonText.rfind("[\n{\"analyte\": \"K, \\\"serum\\\"\", \"group\": \"F\", \"n\": 120, "
                             "\"npLower\": 3.456789, \"npLowerLow\": null",
                             0),
              0u)
        << jsonText;
    EXPECT_NE(jsonText.find("\"sdr\": 0.52119, \"partition\": \"グループごと\", \"message\": \"\"}"
                            ",\n{"),
              std::string::npos);
    EXPECT_EQ(jsonText.substr(jsonText.size() - 4), "}\n]\n");
}

// A file that changes between the passes of a batch is refused, not read as half a file.
TEST(Batch, AFileThatChangesWhileReadIsRefused) {
    std::string text = "Na\tK\r\n";
    for (int i = 0; i < 40; ++i) text += std::to_string(135 + i % 10) + "\t4.1\r\n";
    TempFile f("changing.tsv", text);
    auto table = openTable(f);
    std::ofstream(f.path(), std::ios::binary) << "Na\tK\r\n1\t2\r\n";  // cut short
    std::vector<BatchRow> rows;
    const auto summary = runBatch(
        table, {}, [](const std::vector<double>&, BatchRow&) {},
        [&](const BatchRow& row) { rows.push_back(row); });
    EXPECT_EQ(summary.problem, FileProblem::Changed);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(fileProblemMessage(summary.problem, f.path()),
              "読み込み中にファイルが変わりました。");
}

}  // namespace
}  // namespace kijunchi

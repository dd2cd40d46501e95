#include "cli/study_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "support/data_set.h"

namespace kijunchi {
namespace {

const std::string kData = KIJUNCHI_TEST_DATA;

struct Result {
    int code;
    std::string out, err;
};

Result run(const std::vector<std::string>& args, const std::string& stdinText = "") {
    std::ostringstream out, err;
    const int code = runStudyCommand(args, textReader(stdinText), out, err);
    return {code, out.str(), err.str()};
}

std::string twenty(int outside) {
    std::string text;
    for (int i = 0; i < 20; ++i) text += (i < outside ? "30" : "15") + std::string("\n");
    return text;
}

TEST(StudyCommand, OnlyTheStudyOptionsLeadHere) {
    EXPECT_TRUE(isStudyCommand({"--batch", "x.csv"}));
    EXPECT_TRUE(isStudyCommand({"--verify", "1,2"}));
    EXPECT_FALSE(isStudyCommand({"--show", "report", "x.csv"}));
}

TEST(StudyCommand, VerifyDecidesAndRefusesWithExitCodes) {
    auto accepted = run({"--verify", "10,20"}, twenty(2));
    EXPECT_EQ(accepted.code, 0);
    EXPECT_NE(accepted.out.find("判定: 採用できます（20個中、範囲外は2個以下）。"),
              std::string::npos);
    auto rejected = run({"--verify", "10,20", "-"}, twenty(3));
    EXPECT_EQ(rejected.code, 0);
    EXPECT_NE(rejected.out.find("採用できません"), std::string::npos);

    auto few = run({"--verify", "10,20"}, "15\n16\n");
    EXPECT_EQ(few.code, 3);
    EXPECT_EQ(few.err, "検証には20個以上の値が必要です（データ数 2）。\n");
    auto order = run({"--verify", "20,10"}, twenty(0));
    EXPECT_EQ(order.code, 2);
    EXPECT_NE(order.err.find("より小さくありません"), std::string::npos);
    auto text = run({"--verify", "low,20"}, twenty(0));
    EXPECT_EQ(text.code, 2);
    EXPECT_EQ(run({"--verify", "10"}, twenty(0)).code, 2);
}

// The limits of the JCCLS table: ALT for women is 7–23 U/L, for men 10–42; 20 values of 30
// lie above the one and inside the other.
TEST(StudyCommand, VerifyTableTakesTheAnalytesRowForTheSex) {
    const std::string thirties = [] {
        std::string t;
        for (int i = 0; i < 20; ++i) t += i < 3 ? "30\n" : "15\n";
        return t;
    }();
    const auto women = run({"--verify-table", "jccls", "--analyte", "ALT", "--sex", "F"}, thirties);
    EXPECT_EQ(women.code, 0);
    EXPECT_NE(women.out.find("基準範囲 =\t7\t <---> \t23"), std::string::npos);
    EXPECT_NE(women.out.find("出典 =\tJCCLS共用基準範囲 ALT 女"), std::string::npos);
    EXPECT_NE(women.out.find("採用できません"), std::string::npos);
    const auto men = run({"--verify-table", "jccls", "--analyte", "gpt", "--sex", "M"}, thirties);
    EXPECT_NE(men.out.find("判定: 採用できます"), std::string::npos);
    const struct {
        std::vector<std::string> args;
        const char* err;
    } refused[] = {
        {{"--verify-table", "jccls", "--analyte", "ALT"}, "性別を選んで下さい"},
        {{"--verify-table", "jccls", "--analyte", "PSA"}, "表にこの項目がありません"},
        {{"--verify-table", "jccls"}, "--analyte"},
        {{"--verify-table", "jccls", "--analyte", "AST", "--sex", "X"}, "M（男）か F（女）"},
        {{"--verify", "1,2", "--analyte", "AST"}, "--verify-table と一緒に"},
    };
    for (const auto& r : refused) {
        const auto result = run(r.args, thirties);
        EXPECT_EQ(result.code, 2);
        EXPECT_NE(result.err.find(r.err), std::string::npos) << result.err;
    }
}

// --age takes the row whose [年齢下限, 年齢上限) holds the age; the limits expected are the
// rows' of the table written here.
TEST(StudyCommand, VerifyTableTakesTheRowOfTheAge) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kijunchi-verify-age-" + std::to_string(getpid()) + ".csv");
    {
        std::ofstream out(path, std::ios::binary);
        out << "項目,単位,性別,年齢下限,年齢上限,下限,上限,出典\n"
               "Hb,g/dL,男,18,65,13.5,17.0,自施設\nHb,g/dL,女,18,65,11.5,15.0,自施設\n"
               "Hb,g/dL,共通,65,,11.0,16.0,自施設\n"
               "Alb,g/dL,共通,,65,4.1,5.1,自施設\nAlb,g/dL,共通,65,,3.8,5.0,自施設\n";
    }
    const std::string values = twenty(0);
    const struct {
        std::vector<std::string> args;
        const char* found;  // in the text, or in the refusal (exit 2) when it starts with "!"
    } cases[] = {
        {{"Hb", "--sex", "M", "--age", "40"}, "基準範囲 =\t13.5\t <---> \t17\r\n"},
        {{"Hb", "--sex", "F", "--age", "64.9"}, "基準範囲 =\t11.5\t <---> \t15\r\n"},
        {{"Hb", "--sex", "F", "--age", "65"}, "基準範囲 =\t11\t <---> \t16\r\n"},
        {{"Hb", "--age", "70"}, " Hb 共通 65歳〜 (g/dL)"},
        {{"Alb", "--age", "18"}, "基準範囲 =\t4.1\t <---> \t5.1\r\n"},
        {{"Hb", "--sex", "M", "--age", "10"},
         "!10歳を含む年齢の行がありません（この項目の年齢: 18〜65歳、65歳〜）。"},
        {{"Hb", "--sex", "M"},
         "!年齢ごとの基準範囲です（18〜65歳、65歳〜）。年齢を指定して下さい。"},
        {{"Alb"}, "!年齢ごとの基準範囲です（〜65歳、65歳〜）。"},
        {{"Hb", "--age", "30"}, "!性別ごとの基準範囲です。性別を選んで下さい。"},
        {{"Hb", "--sex", "M", "--age", "-1"}, "!--age には年齢（歳）を0以上の数値で"},
        {{"Hb", "--sex", "M", "--age", "四十"}, "!--age には年齢（歳）を0以上の数値で"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--verify-table", path.string(), "--analyte"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = run(args, values);
        const bool refused = c.found[0] == '!';
        SCOPED_TRACE(c.found);
        EXPECT_EQ(r.code, refused ? 2 : 0) << r.err;
        EXPECT_NE((refused ? r.err : r.out).find(c.found + (refused ? 1 : 0)), std::string::npos)
            << r.out << r.err;
    }
    // A row without ages holds for any age; --age belongs to --verify-table.
    EXPECT_NE(run({"--verify-table", "jccls", "--analyte", "AST", "--age", "40"}, values)
                  .out.find("基準範囲 =\t13\t <---> \t30\r\n"),
              std::string::npos);
    EXPECT_EQ(run({"--verify", "1,2", "--age", "40"}, values).code, 2);
    std::filesystem::remove(path);
}

TEST(StudyCommand, GroupGivesThePartitionOfTheCalciumData) {
    auto r = run({"--group", "性別", kData + "/calcium_by_sex.tsv"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("女 : 男\t5.796\t3\t1.077\t平均値に差あり\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("SDR =\t0.5212\r\n"), std::string::npos);
    // The column by number gives the same; a missing column and standard input are refused.
    EXPECT_EQ(run({"--group", "2", "--column", "1", kData + "/calcium_by_sex.tsv"}).out, r.out);
    auto missing = run({"--group", "年齢", kData + "/calcium_by_sex.tsv"});
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.err.rfind("グループ列が見つかりません: 年齢\n", 0), 0u);
    EXPECT_EQ(run({"--group", "1"}, "1\tF\n").code, 2);
}

TEST(StudyCommand, BatchWritesEachFormatAndRefusesAnUnknownOne) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kijunchi-study-cli-" + std::to_string(getpid()) + ".tsv");
    {
        std::ofstream out(path, std::ios::binary);
        out << "Na\tsex\tnote\r\n";
        for (int i = 0; i < 40; ++i)
            out << 135 + i % 10 << "\t" << (i % 2 ? "M" : "F") << "\tok\r\n";
    }
    auto tsv = run({"--batch", "--group", "sex", path.string()});
    EXPECT_EQ(tsv.code, 0) << tsv.err;
    EXPECT_EQ(std::count(tsv.out.begin(), tsv.out.end(), '\n'), 5);  // heading, Na×2, note×2
    EXPECT_EQ(tsv.out.rfind("項目\tグループ\tデータ数\t", 0), 0u);
    EXPECT_NE(tsv.out.find("\r\nNa\tF\t20\t"), std::string::npos);
    EXPECT_NE(tsv.out.find("\r\nnote\tF\t0\t"), std::string::npos);
    EXPECT_NE(tsv.out.find("数値がありません。"), std::string::npos);

    auto csv = run({"--batch", "--format", "csv", path.string()});
    EXPECT_EQ(csv.out.rfind("項目,データ数,", 0), 0u);
    EXPECT_NE(csv.out.find("\r\nsex,0,"), std::string::npos);  // without --group, every column

    auto json = run({"--format", "json", "--batch", path.string()});
    EXPECT_EQ(json.out.rfind("[\n{\"analyte\": \"Na\", \"n\": 40, ", 0), 0u) << json.out;
    EXPECT_EQ(json.out.substr(json.out.size() - 3), "\n]\n");

    auto bad = run({"--batch", "--format", "xls", path.string()});
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(bad.err.rfind("--format には tsv, csv, json, xlsx のどれかを指定して下さい。\n", 0),
              0u);
    // A workbook only into a file; --output writes any format there, whole.
    EXPECT_EQ(run({"--batch", "--format", "xlsx", path.string()}).code, 2);
    const auto written = path.parent_path() / "batch-out.csv";
    auto toFile = run({"--batch", "--format", "csv", "--output", written.string(), path.string()});
    EXPECT_EQ(toFile.code, 0);
    EXPECT_EQ(toFile.out, "");
    std::ifstream in(written, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), csv.out);
    std::filesystem::remove(written);
    EXPECT_EQ(run({"--format", "csv", path.string()}).code, 2);
    std::filesystem::remove(path);
    auto absent = run({"--batch", path.string()});
    EXPECT_EQ(absent.code, 2);
    EXPECT_EQ(absent.err, "ファイル「" + path.string() + "」が見つかりません。\n");
}

// --verify reads its input as the report does: the same refusals, never an abort.
TEST(StudyCommand, BatchReadsTheSheetThatSheetNames) {
    // tests/data/workbook_calcium.xls: "カルシウム" (Ca, メモ) and "日付" (採取日, 値).
    const std::string book = kData + "/workbook_calcium.xls";
    struct Case {
        std::vector<std::string> sheet;
        const char* firstAnalyte;
    };
    for (const Case& c : {Case{{}, "\nCa\t5\t"}, Case{{"--sheet", "2"}, "\n採取日\t2\t"},
                          Case{{"--sheet", "日付"}, "\n採取日\t2\t"}}) {
        std::vector<std::string> args{"--batch"};
        args.insert(args.end(), c.sheet.begin(), c.sheet.end());
        args.push_back(book);
        const Result r = run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out.find(c.firstAnalyte), std::string::npos) << r.out;
    }
    const Result missing = run({"--batch", "--sheet", "3", book});
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.err, "ファイル「" + book + "」にシート「3」がありません。\n");
}

TEST(StudyCommand, VerifyReadsItsInputAsTheReportDoes) {
    const std::string folder = std::filesystem::temp_directory_path().string();
    struct Case {
        std::string file;
        std::string err;
    };
    const Case cases[] = {
        {folder, "ファイルを読めません: " + folder + "\n"},
        {"/proc/self/mem", "ファイルを読めません: /proc/self/mem\n"},
        {"/dev/zero", "ファイル「/dev/zero」には長すぎる行があります（1行64 KiBまで読めます）。\n"},
    };
    for (const Case& c : cases) {
        auto r = run({"--verify", "1,2", c.file});
        EXPECT_EQ(r.code, 2) << c.file;
        EXPECT_EQ(r.err, c.err);
    }
    std::ostringstream out, err;
    const int closed = runStudyCommand(
        {"--verify", "8,12"}, [](char*, std::size_t) { return -1; }, out, err);
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(err.str(), "標準入力を読めません。\n");
}

// A pipe as the batch's or the partition's file is read once, not called empty; the batch's
// CSV and TSV give text cells that would be formulas a leading apostrophe, numbers as they are.
TEST(StudyCommand, BatchAndGroupReadAPipeAndWriteNoFormulas) {
    std::string text = "=HYPERLINK(\"x\")\tsex\r\n";
    for (int i = 0; i < 40; ++i)
        text += std::to_string(-135 - i % 10) + "\t" + (i % 2 ? "@SUM(1+1)" : "+cmd") + "\r\n";
    auto throughPipe = [&](std::vector<std::string> args) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        std::thread writer([&] {
            EXPECT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
            ::close(fds[1]);
        });
        args.push_back("/dev/fd/" + std::to_string(fds[0]));
        auto r = run(args);
        writer.join();
        ::close(fds[0]);
        return r;
    };
    auto csv = throughPipe({"--batch", "--group", "sex", "--format", "csv"});
    EXPECT_EQ(csv.code, 0) << csv.err;
    EXPECT_NE(csv.out.find("\r\n\"'=HYPERLINK(\"\"x\"\")\",'+cmd,20,-"), std::string::npos)
        << csv.out;
    EXPECT_NE(csv.out.find("\r\n\"'=HYPERLINK(\"\"x\"\")\",'@SUM(1+1),20,-"), std::string::npos);
    auto tsv = throughPipe({"--batch", "--group", "sex"});
    EXPECT_NE(tsv.out.find("\r\n'=HYPERLINK(\"x\")\t'+cmd\t20\t-"), std::string::npos) << tsv.out;
    EXPECT_EQ(tsv.out.find("'-"), std::string::npos);
    auto group = throughPipe({"--group", "sex"});
    EXPECT_EQ(group.code, 0) << group.err;
    EXPECT_NE(group.out.find("'+cmd : @SUM(1+1)\t"), std::string::npos) << group.out;
}

// A batch with nothing but its group column to evaluate says so (found by fuzzing).
TEST(StudyCommand, ABatchWithoutAnalytesSaysSo) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kijunchi-study-none-" + std::to_string(getpid()) + ".csv");
    std::ofstream(path, std::ios::binary) << "sex\r\nF\r\nM\r\n";
    auto r = run({"--batch", "--group", "1", path.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "グループ列のほかに評価する列がありません。\n");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace kijunchi

namespace kijunchi {
namespace {

TEST(StudyCommand, SkewedColumnsAndLargeOnesKeepEveryRowAndEveryValue) {
    // "crp": 59 values near 1 and one mistyped 1234.4: the maximum rounds to 1234, the value
    // lies in a sixth class (ν = 3) and χo² is 2.2E9, whose tail once overflowed and ended the
    // whole batch. "big": 8000 values, 7990 evenly spaced
    // from 100 to 200 and ten of 1000 — beyond the 5000 values of a data set.
    const auto path = std::filesystem::temp_directory_path() /
                      ("kijunchi-skewed-" + std::to_string(getpid()) + ".tsv");
    const double d = 100.0 / 7989;
    {
        std::ofstream out(path, std::ios::binary);
        out.precision(17);
        out << "crp\tbig\n";
        for (int i = 0; i < 8000; ++i) {
            out << (i < 59 ? std::to_string(0.5 + 0.01 * i) : i == 59 ? "1234.4" : "") << "\t";
            out << (i < 7990 ? 100 + i * d : 1000.0) << "\n";
        }
    }
    auto json = run({"--batch", "--format", "json", path.string()});
    std::filesystem::remove(path);
    ASSERT_EQ(json.code, 0) << json.err;
    const auto field = [&](const std::string& analyte, const std::string& key) {
        const auto row = json.out.find("{\"analyte\": \"" + analyte + "\"");
        const auto at = json.out.find("\"" + key + "\": ", row);
        return json.out.substr(at + key.size() + 4,
                               json.out.find_first_of(",}", at) - at - key.size() - 4);
    };
    EXPECT_EQ(field("crp", "n"), "60");
    EXPECT_EQ(std::stod(field("crp", "pChiSquare")), 0.0);
    EXPECT_LT(std::stod(field("crp", "pSkewness")), 1e-10);
    // (n + 1)·p = 200.025 and 7800.975: x(200) + 0.025·d and x(7800) + 0.975·d.
    EXPECT_NEAR(std::stod(field("big", "npLower")), 100 + 199.025 * d, 1e-9);
    EXPECT_NEAR(std::stod(field("big", "npUpper")), 100 + 7799.975 * d, 1e-9);
    EXPECT_NE(field("big", "npLowerLow"), "null");       // ranks for any n
    EXPECT_GE(std::stoi(field("big", "outliers")), 10);  // at least the ten 1000s
}

}  // namespace
}  // namespace kijunchi

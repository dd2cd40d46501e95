#include "cli/study_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

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
    const int code = runStudyCommand(
        args, [&] { return stdinText; }, out, err);
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

}  // namespace
}  // namespace kijunchi

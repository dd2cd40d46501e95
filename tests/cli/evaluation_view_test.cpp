// kijunchi-report --show evaluation: the evaluation window's text for the data as read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "cli/report_command.h"
#include "evaluation/evaluation_text.h"
#include "support/data_set.h"

namespace kijunchi {
namespace {

const std::string kData = KIJUNCHI_TEST_DATA;

CommandOutput run(const std::vector<std::string>& args, const std::string& stdinText = "") {
    return runReportCommand(args, textReader(stdinText));
}

TEST(EvaluationView, CalciumShowsThePublishedLimitsAndIntervals) {
    const CommandOutput out = run({"--show", "evaluation", kData + "/calcium_240.txt"});
    ASSERT_EQ(out.exitCode, 0) << out.err;
    EXPECT_EQ(out.err, "");
    // The nonparametric limits 9.1 and 10.3 with 8.9–9.2 and 10.3–10.4, the parametric
    // intervals 8.993–9.110 and 10.26–10.38 (4 significant digits: 9.11), ranks 2 and 11.
    for (const char* line :
         {"データ数=\t240\r\n", "ベキ指数λ =\t\r\n",
          "ノンパラメトリック法\t9.1\t8.9\t～\t9.2\t10.3\t10.3\t～\t10.4\r\n",
          "パラメトリック法\t9.051\t8.993\t～\t9.11\t10.32\t10.26\t～\t10.38\r\n",
          "小さい方から2番目と11番目（上限は230番目と239番目）の値\r\n", "乱数の種 20260211\r\n",
          "推奨: データ数が120以上なので、ノンパラメトリック法の限界値を90%信頼区間とともに"})
        EXPECT_NE(out.out.find(line), std::string::npos) << line << "\n" << out.out;
    EXPECT_EQ(out.out.find("（変換後）"), std::string::npos);
}

TEST(EvaluationView, LambdaAddsTheTransformedRowsAndKeepsTheMeasuredOnes) {
    const CommandOutput plain = run({"--show", "evaluation", kData + "/calcium_240.txt"});
    const CommandOutput log =
        run({"--show", "evaluation", "--lambda", "0", kData + "/calcium_240.txt"});
    ASSERT_EQ(log.exitCode, 0) << log.err;
    EXPECT_NE(log.out.find("ベキ指数λ =\t対数変換\r\n"), std::string::npos);
    // exp(mean ± 1.96 SD of ln x) = 9.0666 and 10.332, intervals from 9.0119 to 10.395 (R).
    EXPECT_NE(
        log.out.find(
            "パラメトリック法（変換後）\t9.067\t9.012\t～\t9.122\t10.33\t10.27\t～\t10.4\r\n"),
        std::string::npos)
        << log.out;
    const auto row = [](const std::string& text, const std::string& name) {
        const auto at = text.find("\r\n" + name + "\t");
        return text.substr(at, text.find("\r\n", at + 2) - at);
    };
    EXPECT_EQ(row(log.out, "ノンパラメトリック法"), row(plain.out, "ノンパラメトリック法"));
    EXPECT_EQ(row(log.out, "ロバスト法"), row(plain.out, "ロバスト法"));
}

TEST(EvaluationView, SaysWhenItEvaluatesOnlyTheFirstValuesRead) {
    std::string many;
    for (int i = 0; i < 12000; ++i) many += std::to_string(100 + i % 37) + "\n";
    const CommandOutput out = run({"--show", "evaluation"}, many);
    ASSERT_EQ(out.exitCode, 0);
    EXPECT_NE(out.out.find(
                  "データ数=\t5000\r\n読み込んだ12000個のうち先頭の5000個を評価しています。\r\n"),
              std::string::npos);
}

TEST(EvaluationView, ExitCodesAreThoseOfTheReading) {
    EXPECT_EQ(run({"--show", "evaluation"}, "").exitCode, 3);
    // The report fails on one value; the evaluation still says what it can, and that the
    // report's tests are missing.
    const CommandOutput one = run({"--show", "evaluation"}, "5\n");
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_NE(one.out.find("データ数=\t1\r\n統計量の画面は計算エラーになりました。"),
              std::string::npos);
    EXPECT_EQ(run({"--show", "evaluation", "--lambda", "abc"}, "1\n2\n3\n4\n").exitCode, 2);
    EXPECT_EQ(run({"--show", "evaluation", "--classes", "2"}, "1\n2\n3\n4\n").exitCode, 2);
    EXPECT_EQ(run({"--show", "evaluation"}, "1\n2\n3\n4\n").exitCode, 0);
}

}  // namespace
}  // namespace kijunchi

namespace kijunchi {
namespace {

// The rows of the three estimates: the limits as the evaluation prints them.
std::string limitRows(const std::string& text) {
    std::string rows;
    for (const char* name :
         {"\r\nノンパラメトリック法\t", "\r\nロバスト法\t", "\r\nパラメトリック法\t"}) {
        const auto at = text.find(name);
        if (at == std::string::npos) return {};
        rows += text.substr(at, text.find("\r\n", at + 2) - at);
    }
    return rows;
}

TEST(EvaluationView, ExcludedValuesAreRecordedAndTheLimitsAreThoseOfTheOthers) {
    // The calcium values and one mistyped 96: every value Tukey's rule flags is taken out.
    std::string data;
    for (double v : testing::calcium240()) data += std::to_string(v) + "\n";
    data += "96\n";
    const CommandOutput plain = run({"--show", "evaluation"}, data);
    ASSERT_EQ(plain.exitCode, 0);
    // The positions Tukey's rule flags, read from the plain evaluation's list.
    std::vector<int> flagged;
    for (std::size_t at = plain.out.find("位置\t値\t判定\r\n"); at != std::string::npos;) {
        at = plain.out.find("\r\n", at) + 2;
        const std::string line = plain.out.substr(at, plain.out.find("\r\n", at) - at);
        if (line.empty() || line == "なし" || !std::isdigit(static_cast<unsigned char>(line[0])))
            break;
        if (line.find("Tukey法") != std::string::npos) flagged.push_back(std::stoi(line));
    }
    ASSERT_FALSE(flagged.empty());
    EXPECT_EQ(flagged.back(), 241);
    std::string kept;
    std::vector<std::string> lines;
    for (std::size_t s = 0, e; (e = data.find('\n', s)) != std::string::npos; s = e + 1)
        lines.push_back(data.substr(s, e - s));
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (std::find(flagged.begin(), flagged.end(), static_cast<int>(i + 1)) == flagged.end())
            kept += lines[i] + "\n";

    const CommandOutput excluded =
        run({"--show", "evaluation", "--exclude-flagged", "tukey", "--author", "検査 花子"}, data);
    ASSERT_EQ(excluded.exitCode, 0) << excluded.err;
    EXPECT_EQ(limitRows(excluded.out), limitRows(run({"--show", "evaluation"}, kept).out));
    EXPECT_NE(excluded.out.find("\r\n" + std::to_string(flagged.size()) + "個を除外\r\n"),
              std::string::npos);
    EXPECT_NE(excluded.out.find("\r\n241\t96\tTukey法\t検査 花子\t"), std::string::npos)
        << excluded.out;
    // By position; a position beyond the data is refused.
    const CommandOutput one = run({"--show", "data", "--exclude", "241"}, data);
    EXPECT_EQ(one.out, run({"--show", "data"}, data.substr(0, data.size() - 3)).out);
    EXPECT_EQ(run({"--show", "evaluation", "--exclude", "242"}, data).exitCode, 2);
    EXPECT_EQ(run({"--exclude-flagged", "grubbs"}, data).exitCode, 2);
}

}  // namespace
}  // namespace kijunchi

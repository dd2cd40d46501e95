#include "cli/report_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "support/data_set.h"

namespace kijunchi {
namespace {

using testing::testData;
const std::string kData = KIJUNCHI_TEST_DATA;

CommandOutput run(const std::vector<std::string>& args, const std::string& stdinText = "") {
    return runReportCommand(args, [stdinText] { return stdinText; });
}

TEST(ReportCommand, SummaryIsTheTextBlockJoinedWithCrLf) {
    // One to four as a column with LF, with a byte order mark and CR LF, and as a row.
    for (const char* input : {"1\n2\n3\n4\n",
                              "\xEF\xBB\xBF"
                              "1\r\n2\r\n3\r\n4",
                              "4\t3\t2\t1\n"}) {
        auto out = run({"--show", "summary", "-"}, input);
        EXPECT_EQ(out.exitCode, 0);
        EXPECT_EQ(out.out, testData("summary_one_to_four.txt")) << "input '" << input << "'";
        EXPECT_EQ(out.err, "");
    }
}

TEST(ReportCommand, LambdaTransformsTheDataAsReadBeforeTheReport) {
    // Read from the file, not standard input; the text is the log report of the report tests.
    auto out = run({"--lambda", "0", "--classes", "6", kData + "/skewed_25.txt"}, "1\n2\n");
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.out, testData("report_skewed_25_log.txt"));
}

TEST(ReportCommand, DataAndTableRunNoAnalysis) {
    auto data = run({"--show", "data"}, "0.1\n2.5E1\nabc\n0.123456789012\n");
    EXPECT_EQ(data.out, "0.1\n25\n0\n0.123456789012\n");
    EXPECT_EQ(run({"--show", "data"}, "5\n").exitCode, 0);  // a single value is no error here

    // The table describes the data before any transformation: λ does not change it. 2 + 2 +
    // 41 lines; the row of λ = 0 holds ML(0) = −0.371705117772597 (python).
    auto table = run({"--lambda", "0.5", "--show", "table"}, "1\n2\n4\n");
    EXPECT_EQ(table.exitCode, 0);
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 45);
    EXPECT_NE(table.out.find("\r\n0\t-0.3717051177"), std::string::npos) << table.out;
    EXPECT_EQ(run({"--show", "table"}, "7\n").out, "");

    // λ̂ of the same data before any transformation: 1, 2, 4 are symmetric on the log scale,
    // so ML(λ) = ML(−λ) and λ̂ = 0; R's uniroot puts the interval's upper end at 2.777.
    auto lambda = run({"--lambda", "0.5", "--show", "lambda"}, "1\n2\n4\n");
    EXPECT_EQ(lambda.exitCode, 0);
    EXPECT_EQ(lambda.out, "最尤λ = 0.000（95%信頼区間 -1未満 ～ 2.78）\n");
    auto none = run({"--show", "lambda"}, "1\n-2\n4\n");
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "最尤λ：求められません（正の値3個以上が必要）\n");
}

TEST(ReportCommand, FailuresExitWithTheirCodeAndPrintNothingOnStandardOutput) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int exitCode;
        std::string message;  // expected within standard error ("" when any text will do)
    };
    const Case cases[] = {
        {{"--show", "summary"}, "\r\n1\r\n", 3, "データがありません。"},
        {{}, "7\n7\n7\n7\n", 1, "計算エラーがあります。データに問題が無いか確認して下さい。"},
        // The class count is checked first, whatever is shown.
        {{"--classes", "4.5", "--show", "data"}, "1\n", 2, "ﾋｽﾄｸﾞﾗﾑの階級数は4以上の整数"},
        {{"--lambda", "0"}, "0\n2\n3\n4\n", 2, "このλの値ではデータを変換できません。"},
        {{kData + "/no_such_file.txt"}, "", 2, ""},
        {{"--classes"}, "1\n2\n3\n4\n", 2, ""}};
    for (const auto& c : cases) {
        auto out = run(c.args, c.input);
        SCOPED_TRACE(c.args.empty() ? c.input : c.args[0]);
        EXPECT_EQ(out.exitCode, c.exitCode);
        EXPECT_EQ(out.out, "");
        EXPECT_FALSE(out.err.empty());
        EXPECT_NE(out.err.find(c.message), std::string::npos) << out.err;
    }
}

TEST(ReportCommand, MoreThanFiveThousandValuesWarnsAndGoesOn) {
    std::string input;
    for (int i = 1; i <= 5003; ++i) input += std::to_string(i % 97) + "\n";
    auto out = run({"--show", "summary"}, input);
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_NE(out.err.find("データ数が上限の5000を超えています（5003個）。"), std::string::npos);
    EXPECT_NE(out.out.find("Number of data= 5000\r\n"), std::string::npos) << out.out;
}

// The built program, end to end: its output and exit status as a shell sees them.
std::pair<std::string, int> runProgram(const std::string& arguments) {
    const std::string command = std::string(KIJUNCHI_REPORT_EXE) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {"", -1};
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int raw = pclose(pipe);
    return {out, WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
}

TEST(ReportProgram, PrintsTheReportByDefaultAndExitsWithItsCodes) {
    EXPECT_EQ(runProgram("< " + kData + "/one_to_four.txt"),
              std::make_pair(testData("report_one_to_four.txt"), 0));
    EXPECT_EQ(runProgram("--show summary < /dev/null"), std::make_pair(std::string(), 3));
    auto [help, status] = runProgram("--help");
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("kijunchi-report"), std::string::npos) << help;
}

}  // namespace
}  // namespace kijunchi

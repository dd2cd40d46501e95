#include "cli/report_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kijunchi {
namespace {

const std::string kData = KIJUNCHI_TEST_DATA;
const std::string kCalcError = "計算エラーがあります。データに問題が無いか確認して下さい。";
const std::string kNoData = "データがありません。";
const std::string kClassRefused = "ﾋｽﾄｸﾞﾗﾑの階級数は4以上の整数を入力して下さい。";
const std::string kLambdaRefused =
    "このλの値ではデータを変換できません。データとλを確認して下さい。";

// Expected texts worked out independently in python (see the report tests).
std::string readData(const std::string& name) {
    std::ifstream in(kData + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), {}};
}

CommandOutput run(const std::vector<std::string>& args, const std::string& stdinText) {
    return runReportCommand(args, [stdinText] { return stdinText; });
}

TEST(ReportCommand, SummaryIsTheTextBlockJoinedWithCrLf) {
    // One to four as a column with LF, with a byte order mark and CR LF, and as a row.
    const std::string expected = readData("summary_one_to_four.txt");
    for (const std::string& input : {std::string("1\n2\n3\n4\n"),
                                     std::string("\xEF\xBB\xBF"
                                                 "1\r\n2\r\n3\r\n4"),
                                     std::string("4\t3\t2\t1\n")}) {
        auto out = run({"--show", "summary", "-"}, input);
        EXPECT_EQ(out.exitCode, 0);
        EXPECT_EQ(out.out, expected) << "input '" << input << "'";
        EXPECT_EQ(out.err, "");
    }
}

TEST(ReportCommand, LambdaTransformsTheDataAsReadBeforeTheReport) {
    // The file is read, not standard input; the text is the log report of the report tests.
    auto logged = runReportCommand(
        {"--lambda", "0", "--classes", "6", "--show", "report", kData + "/skewed_25.txt"},
        []() -> std::string {
            ADD_FAILURE() << "standard input read although a file was given";
            return "";
        });
    EXPECT_EQ(logged.exitCode, 0);
    EXPECT_EQ(logged.out, readData("report_skewed_25_log.txt"));
}

TEST(ReportCommand, DataAndTableRunNoAnalysis) {
    auto data = run({"--show", "data"}, "0.1\n2.5E1\nabc\n0.123456789012\n");
    EXPECT_EQ(data.exitCode, 0);
    EXPECT_EQ(data.out, "0.1\n25\n0\n0.123456789012\n");
    EXPECT_EQ(run({"--show", "data"}, "5\n").out, "5\n");  // a single value is no error here

    // The table describes the data before any transformation: λ does not change it. 2 + 2 +
    // 41 lines; the row of λ = 0 holds ML(0) = −0.371705117772597 (python).
    auto table = run({"--lambda", "0.5", "--show", "table"}, "1\n2\n4\n");
    EXPECT_EQ(table.exitCode, 0);
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 45);
    EXPECT_NE(table.out.find("\r\n0\t-0.3717051177"), std::string::npos) << table.out;
    auto one = run({"--show", "table"}, "7\n");
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(one.out, "");
}

TEST(ReportCommand, FailuresExitWithTheirCodeAndPrintNothingOnStandardOutput) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string input;
        int exitCode;
        std::string message;  // expected within standard error ("" when any text will do)
    };
    const std::vector<Case> cases = {
        {"no values", {"--show", "summary"}, "\r\n1\r\n", 3, kNoData},
        {"one value", {}, "5\n", 1, kCalcError},
        {"all equal", {"--show", "summary"}, "7\n7\n7\n7\n", 1, kCalcError},
        {"three classes", {"--classes", "3"}, "1\n2\n3\n4\n", 2, kClassRefused},
        {"class count before anything",
         {"--classes", "4.5", "--show", "data"},
         "1\n",
         2,
         kClassRefused},
        {"lambda no number", {"--lambda", "0.5abc"}, "1\n2\n3\n4\n", 2, kLambdaRefused},
        {"log of zero", {"--lambda", "0"}, "0\n2\n3\n4\n", 2, kLambdaRefused},
        {"missing file", {kData + "/no_such_file.txt"}, "", 2, ""},
        {"unknown view", {"--show", "everything"}, "1\n2\n3\n4\n", 2, ""},
        {"classes without a value", {"--classes"}, "1\n2\n3\n4\n", 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto out = run(c.args, c.input);
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
    EXPECT_NE(
        out.err.find(
            "データ数が上限の5000を超えています（5003個）。先頭の5000個のみを読み込みました。"),
        std::string::npos)
        << out.err;
    EXPECT_NE(out.out.find("               Number of data= 5000\r\n"), std::string::npos)
        << out.out;
}

// The built program, end to end: its output and exit status as a shell sees them.
struct Process {
    std::string out;
    int status = -1;
};

Process runProgram(const std::string& arguments) {
    Process p;
    const std::string command = std::string(KIJUNCHI_REPORT_EXE) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return p;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) p.out.append(buffer, n);
    const int raw = pclose(pipe);
    p.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return p;
}

TEST(ReportProgram, PrintsTheReportByDefaultAndExitsWithItsCodes) {
    auto report = runProgram("< " + kData + "/one_to_four.txt");
    EXPECT_EQ(report.status, 0);
    EXPECT_EQ(report.out, readData("report_one_to_four.txt"));

    auto summary = runProgram("--show summary " + kData + "/one_to_four.txt");
    EXPECT_EQ(summary.status, 0);
    EXPECT_EQ(summary.out, readData("summary_one_to_four.txt"));

    auto empty = runProgram("--show summary < /dev/null");
    EXPECT_EQ(empty.status, 3);
    EXPECT_EQ(empty.out, "");

    auto help = runProgram("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("kijunchi-report"), std::string::npos) << help.out;
}

}  // namespace
}  // namespace kijunchi

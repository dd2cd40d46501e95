#include "cli/report_command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "input/paste_reader.h"
#include "report/analysis_run.h"
#include "support/data_set.h"

namespace kijunchi {
namespace {

using testing::testData;
const std::string kData = KIJUNCHI_TEST_DATA;
const std::string kClassCount = "ﾋｽﾄｸﾞﾗﾑの階級数は4以上1000以下の整数を入力して下さい。";

CommandOutput run(const std::vector<std::string>& args, const std::string& stdinText = "") {
    return runReportCommand(args, textReader(stdinText));
}

TEST(ReportCommand, SummaryIsTheTextBlockJoinedWithCrLf) {
    // One to four as a column with LF, with a byte order mark and CR LF, and as a row.
    // A lone CR ends a line too, as in text from older spreadsheet programs.
    for (const char* input : {"1\n2\n3\n4\n",
                              "\xEF\xBB\xBF"
                              "1\r\n2\r\n3\r\n4",
                              "4\t3\t2\t1\n", "1\r2\r3\r4\r",
                              "\xEF\xBB\xBF"
                              "1\r2\n3\r\n4"}) {
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
    EXPECT_EQ(data.out, "0.1\n25\n0.123456789012\n");  // "abc" is no value
    EXPECT_EQ(data.err, "数値でない欄1個を読み飛ばしました。\n");
    EXPECT_EQ(data.exitCode, 0);
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
    EXPECT_EQ(none.err, "最尤λ：求められません（0以下の値があるため）\n");
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
        {{"--classes", "4.5", "--show", "data"}, "1\n", 2, kClassCount},
        // A class count the histogram cannot hold is the user's input, not the data's fault.
        {{"--classes", "2000"}, "1\n2\n3\n4\n", 2, kClassCount},
        {{"--classes=abc", "--show=table"}, "1\n2\n", 2, kClassCount},
        {{"--lambda", "0"}, "0\n2\n3\n4\n", 2, "このλの値ではデータを変換できません。"},
        // An unusable λ text is refused in every view.
        {{"--lambda", "abc", "--show", "table"}, "1\n2\n4\n", 2, "このλの値では"},
        {{"--lambda=", "--show=data"}, "1\n2\n4\n", 2, "このλの値では"},
        // A limit with no measured value behind it: 1..4 with λ = −1 would print an upper
        // limit −7.268 below the lower 0.848.
        {{"--lambda=-1"}, "1\n2\n3\n4\n", 1, "計算エラーがあります。"},
        {{kData + "/no_such_file.txt"}, "", 2, "ファイルを読めません: "},
        {{kData}, "", 2, "ファイルを読めません: "},  // a folder
        // A workbook is not pasted text: its column is asked for.
        {{kData + "/workbook_calcium.xls"}, "", 2, "はブックです。読む列を --column で"},
        // On standard input it can only be named by its file.
        {{"--show", "table"},
         std::string("PK\x03\x04\n1\n2\n", 7),
         2,
         "標準入力のデータはブックです。ブックはファイル名と"},
        {{"--classes"}, "1\n2\n3\n4\n", 2, ""}};
    for (const auto& c : cases) {
        auto out = run(c.args, c.input);
        SCOPED_TRACE(c.args.empty() ? c.input : c.args[0]);
        EXPECT_EQ(out.exitCode, c.exitCode);
        EXPECT_EQ(out.out, "");
        EXPECT_FALSE(out.err.empty());
        EXPECT_NE(out.err.find(c.message), std::string::npos) << out.err;
        if (c.exitCode == 2 && c.args[0].rfind(kData, 0) == 0) {
            // A file that cannot be read: one line.
            EXPECT_EQ(std::count(out.err.begin(), out.err.end(), '\n'), 1) << out.err;
        }
    }
}

TEST(ReportCommand, AcceptsTheLongOptionsWithAnEqualsSign) {
    auto separate =
        run({"--lambda", "-0.5", "--classes", "6", "--show", "summary"}, testData("skewed_25.txt"));
    auto joined =
        run({"--lambda=-0.5", "--classes=6", "--show=summary"}, testData("skewed_25.txt"));
    EXPECT_EQ(separate.exitCode, 0) << separate.err;
    EXPECT_EQ(joined.out, separate.out);
    EXPECT_EQ(joined.exitCode, 0);
    EXPECT_EQ(run({"--show=table"}, "1\n2\n4\n").out, run({"--show", "table"}, "1\n2\n4\n").out);
    EXPECT_EQ(run({"--help=yes"}).exitCode, 2);
}

TEST(ReportCommand, MoreThanFiveThousandValuesWarnsAndGoesOn) {
    std::string input;
    for (int i = 1; i <= 5003; ++i) input += std::to_string(i % 97) + "\n";
    auto out = run({"--show", "summary"}, input);
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_NE(out.err.find("データ数が上限の5000を超えています（5003個）。"), std::string::npos);
    EXPECT_NE(out.out.find("Number of data= 5000\r\n"), std::string::npos) << out.out;

    // With a heading and a note besides: the over-5000 line first, then the skipped fields.
    out = run({"--show", "summary"}, "Ca\n" + input + "n.d.\n");
    EXPECT_EQ(out.err,
              "データ数が上限の5000を超えています（5003個）。先頭の5000個のみを読み込みました。\n"
              "数値でない欄2個を読み飛ばしました。\n");
    EXPECT_EQ(out.exitCode, 0);
}

TEST(ReportCommand, ReadsItsInputAsAStreamAndOnlyCountsBeyondFiveThousand) {
    // Three million lines "1", made as they are read: the command never holds them.
    constexpr std::int64_t kLines = 3000000;
    std::int64_t made = 0;
    auto ones = [&made](char* buffer, std::size_t size) -> std::ptrdiff_t {
        std::size_t n = 0;
        while (n + 2 <= size && made < kLines) {
            buffer[n++] = '1';
            buffer[n++] = '\n';
            ++made;
        }
        return static_cast<std::ptrdiff_t>(n);
    };
    auto out = runReportCommand({"--show", "data"}, ones);
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.err, tooManyValuesMessage(kLines) + "\n");
    EXPECT_EQ(std::count(out.out.begin(), out.out.end(), '\n'), 5000);

    // A read error of standard input is one line and status 2.
    auto broken = runReportCommand({}, [](char*, std::size_t) -> std::ptrdiff_t { return -1; });
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_EQ(broken.out, "");
    EXPECT_EQ(std::count(broken.err.begin(), broken.err.end(), '\n'), 1);
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

// The program with its standard output on the write end of a pipe whose read end is closed.
int runIntoClosedPipe(const std::string& file) {
    int ends[2];
    if (pipe(ends) != 0) return -1;
    close(ends[0]);
    const pid_t child = fork();
    if (child == 0) {
        dup2(ends[1], STDOUT_FILENO);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDERR_FILENO);
        execl(KIJUNCHI_REPORT_EXE, KIJUNCHI_REPORT_EXE, file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    int raw = 0;
    waitpid(child, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

TEST(ReportProgram, NeverAbortsAndReportsWhatItCannotReadOrWrite) {
    // A folder: status 2 and nothing on standard output, not an uncaught exception (134).
    EXPECT_EQ(runProgram(kData), std::make_pair(std::string(), 2));
    EXPECT_EQ(runProgram("< " + kData), std::make_pair(std::string(), 2));
    // A full device and a closed pipe on standard output.
    EXPECT_EQ(runProgram(kData + "/one_to_four.txt > /dev/full").second, 2);
    EXPECT_EQ(runIntoClosedPipe(kData + "/one_to_four.txt"), 2);
    // The long form of the options.
    EXPECT_EQ(runProgram("--show=summary " + kData + "/one_to_four.txt"),
              std::make_pair(testData("summary_one_to_four.txt"), 0));
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

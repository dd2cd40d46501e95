// kijunchi-report --column: data files read by the desktop program's rules.
#include <gtest/gtest.h>

#include <string>

#include "cli/report_command.h"
#include "support/lab_files.h"
#include "support/temp_files.h"

namespace kijunchi {
namespace {

using testing::TempFolder;
namespace lab = testing::lab;

CommandOutput run(const std::vector<std::string>& args, const std::string& stdinText = "") {
    return runReportCommand(args, textReader(stdinText));
}

TEST(DataFileCommand, EveryFormOfTheExportGivesTheSameColumnByNumberOrHeading) {
    TempFolder folder;
    const std::pair<const char*, std::string> forms[] = {
        {"utf8.csv", lab::csvUtf8()},     {"sjis.csv", lab::csvShiftJis()},
        {"bom.tsv", lab::tsvUtf8Bom()},   {"comma.csv", lab::semicolonDecimalComma()},
        {"unicode.txt", lab::tsvUtf16()},
    };
    for (const auto& [name, bytes] : forms) {
        SCOPED_TRACE(name);
        const std::string file = folder.write(name, bytes);
        const bool comma = std::string(name) == "comma.csv";
        for (const char* column : {"2", "カルシウム"}) {
            auto out = run({"--show", "data", "--column", column, file});
            EXPECT_EQ(out.exitCode, 0);
            EXPECT_EQ(out.out, "9.2\n9.8\n10.1\n");
            EXPECT_EQ(out.err, std::string("数値でない欄2個を読み飛ばしました。\n") +
                                   (comma ? "小数点に「,」、区切りに「;」を使ったファイルとして"
                                            "読み込みました。\n"
                                          : ""));
        }
        auto phosphorus = run({"--show", "data", "--column", "無機リン", file});
        EXPECT_EQ(phosphorus.out, "3.4\n3.1\n2.9\n3.6\n");
    }
    // Standard input is read by the same rules.
    auto piped = run({"--show", "data", "--column", "3"}, lab::csvShiftJis());
    EXPECT_EQ(piped.out, "3.4\n3.1\n2.9\n3.6\n");
}

TEST(DataFileCommand, ColumnsWithoutValuesAndFilesWithoutDataAreRefused) {
    TempFolder folder;
    const std::string file = folder.write("lab.csv", lab::csvUtf8());
    auto unknown = run({"--column", "Ca", file});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err,
              "列「Ca」がありません。列:\n  1: 検体番号（0個）\n  2: カルシウム（3個）\n"
              "  3: 無機リン（4個）\n");
    auto empty = run({"--column", "1", file});
    EXPECT_EQ(empty.exitCode, 3);
    EXPECT_EQ(empty.err, "数値でない欄5個を読み飛ばしました。\nデータがありません。\n");

    auto missing = run({"--column", "1", folder.file("none.csv")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err, "ファイル「" + folder.file("none.csv") + "」が見つかりません。\n");
    auto binary = run({"--column", "1", folder.write("x.bin", std::string("\0\1\2", 3))});
    EXPECT_EQ(binary.exitCode, 2);
    EXPECT_NE(binary.err.find("テキストのファイルではありません"), std::string::npos);
}

TEST(DataFileCommand, TheReportOfAColumnIsTheReportOfItsValuesPasted) {
    TempFolder folder;
    std::string csv = "No,Ca\r\n";
    std::string column;
    for (int i = 0; i < 40; ++i) {
        const std::string value = std::to_string(85 + (i * 7) % 23) + "." + std::to_string(i % 10);
        csv += std::to_string(i + 1) + "," + value + "\r\n";
        column += value + "\r\n";
    }
    auto fromFile = run({"--column", "Ca", folder.write("ca.csv", csv)});
    auto pasted = run({}, column);
    EXPECT_EQ(fromFile.exitCode, 0);
    EXPECT_EQ(fromFile.out, pasted.out);
    EXPECT_EQ(fromFile.err, "");
}

}  // namespace
}  // namespace kijunchi

namespace kijunchi {
namespace {

// Every number of a data file is read whole, or counted and said; never cut or read as 0.
TEST(DataFileCommand, ANumberIsReadWholeOrCounted) {
    std::string late = "Ca;P\n";  // whole numbers for more rows than a sample of the file
    for (int i = 0; i < 60; ++i) late += "10;1\n";
    late += "10,123;1\n";
    std::string longField = "a\n1\n" + std::string(70000, '9') + "\n";
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> args;
        std::string out, err;
        int code = 0;
    };
    const Case cases[] = {
        {"thousands.csv",
         "x,y\n\"1,234\",2\n\"5,678.5\",3\n",
         {"--column", "1"},
         "1234\n5678.5\n",
         "桁区切りの付いた数値2個を、桁区切りを除いて読み込みました。\n"},
        {"comma.csv",
         "Ca;P\n1.100,5;1\n2,5;2\n",
         {"--column", "1"},
         "1100.5\n2.5\n",
         "桁区切りの付いた数値1個を、桁区切りを除いて読み込みました。\n"
         "小数点に「,」、区切りに「;」を使ったファイルとして読み込みました。\n"},
        {"late.csv", late, {"--column", "1"}, std::string(), std::string(), 0},
        {"range.txt",
         "a\n1e999\n-1e400\n5\n",
         {"--column", "1"},
         "5\n",
         "扱える範囲を超える数値2個を読み飛ばしました。\n"},
        {"marks.txt",
         "a\n1.2.3\n5\n",
         {"--column", "1"},
         "5\n",
         "小数点か桁区切りの位置が数値として読めない欄1個を読み飛ばしました。\n"},
        {"years.csv",
         "2024,2025\n9.1,3.2\n9.5,3.4\n9.8,3.1\n",
         {"--column", "2"},
         "3.2\n3.4\n3.1\n",
         "1行目（2024、2025）を見出しとして読みました。\n"},
        {"years.csv",
         "2024,2025\n9.1,3.2\n9.5,3.4\n9.8,3.1\n",
         {"--header", "no", "--column", "1"},
         "2024\n9.1\n9.5\n9.8\n",
         ""},
        {"values.csv", "9.1,3.2\n9.5,3.4\n", {"--header", "yes", "--column", "9.1"}, "9.5\n", ""},
        {"lineend.csv", "a,b\n\"1\n2\",3\n4,5\n", {"--column", "2"}, "3\n5\n", ""},
        {"lineend.csv",
         "a,b\n\"1\n2\",3\n4,5\n",
         {"--column", "1"},
         "4\n",
         "小数点か桁区切りの位置が数値として読めない欄1個を読み飛ばしました。\n"},
        {"long.txt", longField, {"--column", "1"}, "", "", 2},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + (" " + c.args.front()));
        const std::string file = folder.write(c.name, c.bytes);
        std::vector<std::string> args = {"--show", "data"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(file);
        const auto out = run(args);
        EXPECT_EQ(out.exitCode, c.code);
        if (std::string(c.name) == "late.csv") {
            // The decimal comma of the last row counts, though the first 60 rows hold none.
            EXPECT_EQ(out.out.substr(out.out.size() - 8), "\n10.123\n");
        } else if (c.code == 2) {
            EXPECT_EQ(out.err, "ファイル「" + file +
                                   "」には長すぎる行があります（1行64 KiBまで読めます）。\n");
        } else {
            EXPECT_EQ(out.out, c.out);
            EXPECT_EQ(out.err, c.err);
        }
    }
}

// Inputs without an end, or that are no file, end at once with a message and exit status 2.
TEST(DataFileCommand, EndlessAndSpecialInputsEndWithAMessage) {
    auto zero = run({"/dev/zero"});
    EXPECT_EQ(zero.exitCode, 2);
    EXPECT_EQ(zero.err,
              "ファイル「/dev/zero」には長すぎる行があります（1行64 KiBまで読めます）。\n");
    auto zeroColumn = run({"--column", "1", "/dev/zero"});
    EXPECT_EQ(zeroColumn.exitCode, 2);
    EXPECT_EQ(zeroColumn.err, "ファイル「/dev/zero」はテキストのファイルではありません。\n");
    auto closed = runReportCommand({"--column", "1"}, [](char*, std::size_t) { return -1; });
    EXPECT_EQ(closed.exitCode, 2);
    EXPECT_EQ(closed.err, "標準入力を読めません。\n");
}

}  // namespace
}  // namespace kijunchi

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

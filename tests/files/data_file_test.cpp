// Data files: encodings, separators, headings, columns and the files that give no data.
#include "files/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/lab_files.h"
#include "support/temp_files.h"

namespace kijunchi {
namespace {

using testing::TempFolder;
namespace lab = testing::lab;

TEST(DataFile, ReadsTheLaboratoryExportInEveryEncodingAndSeparatorAlike) {
    struct Form {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
        char separator;
        bool decimalComma;
    };
    const Form forms[] = {
        {"utf8.csv", lab::csvUtf8(), TextEncoding::Utf8, ',', false},
        {"sjis.csv", lab::csvShiftJis(), TextEncoding::ShiftJis, ',', false},
        {"bom.tsv", lab::tsvUtf8Bom(), TextEncoding::Utf8WithBom, '\t', false},
        {"comma.csv", lab::semicolonDecimalComma(), TextEncoding::Utf8, ';', true},
        {"unicode.txt", lab::tsvUtf16(), TextEncoding::Utf16, '\t', false},
    };
    TempFolder folder;
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        DataFileResult read = readDataFile(folder.write(form.name, form.bytes));
        ASSERT_EQ(read.problem, FileProblem::None);
        const DataFile& file = read.file;
        EXPECT_EQ(file.encoding, form.encoding);
        EXPECT_EQ(file.separator, form.separator);
        EXPECT_EQ(file.decimalComma, form.decimalComma);
        EXPECT_TRUE(file.hasHeadings);
        ASSERT_EQ(file.columns.size(), 3u);
        EXPECT_EQ(file.columns[0].heading, "検体番号");
        EXPECT_EQ(file.columns[1].heading, "カルシウム");
        EXPECT_EQ(file.columns[2].heading, "無機リン");
        EXPECT_TRUE(file.columns[0].numbers.empty());
        EXPECT_EQ(file.columns[0].skipped, 5);
        EXPECT_EQ(file.columns[1].numbers, lab::kCalcium);
        EXPECT_EQ(file.columns[1].skipped, 2);
        EXPECT_EQ(file.columns[2].numbers, lab::kPhosphorus);
        EXPECT_EQ(file.columns[2].skipped, 1);
        EXPECT_EQ(columnLabel(file.columns[1]), "カルシウム（3個）");
        EXPECT_EQ(columnValuesText(file.columns[2]), "3.4\r\n3.1\r\n2.9\r\n3.6\r\n");
    }
}

TEST(DataFile, SingleColumnsQuotesRaggedRowsAndCp932Characters) {
    // One value per line, no heading, blank lines and blanks around the values.
    DataFileResult plain = readDataText("9.2\n\n  9.4 \n9.6");
    ASSERT_EQ(plain.problem, FileProblem::None);
    EXPECT_EQ(plain.file.separator, 0);
    EXPECT_FALSE(plain.file.hasHeadings);
    ASSERT_EQ(plain.file.columns.size(), 1u);
    EXPECT_EQ(plain.file.columns[0].heading, "列1");
    EXPECT_EQ(plain.file.columns[0].numbers, (std::vector<std::string>{"9.2", "9.4", "9.6"}));
    EXPECT_EQ(plain.file.columns[0].skipped, 0);

    // Quoted headings and values with the separator inside, "" for a quote.
    DataFileResult quoted =
        readDataText("\"Ca, mg/dL\",\"say \"\"P\"\"\"\r\n\"9.2\",3.4\r\n8.8,\"3,1\"\r\n");
    ASSERT_EQ(quoted.problem, FileProblem::None);
    ASSERT_EQ(quoted.file.columns.size(), 2u);
    EXPECT_EQ(quoted.file.columns[0].heading, "Ca, mg/dL");
    EXPECT_EQ(quoted.file.columns[1].heading, "say \"P\"");
    EXPECT_EQ(quoted.file.columns[0].numbers, (std::vector<std::string>{"9.2", "8.8"}));
    // "3,1" in a comma file is no number written whole: counted, never read as 3.
    EXPECT_EQ(quoted.file.columns[1].numbers, (std::vector<std::string>{"3.4"}));
    EXPECT_EQ(quoted.file.columns[1].malformed, 1);

    // A row longer than the ones before opens a column that was empty in them; rows of
    // separators alone are blank lines.
    DataFileResult ragged = readDataText("1,2\n3,4\n,,\n5,6,7\n");
    ASSERT_EQ(ragged.file.columns.size(), 3u);
    EXPECT_EQ(ragged.file.columns[2].heading, "列3");
    EXPECT_EQ(ragged.file.columns[2].numbers, std::vector<std::string>{"7"});
    EXPECT_EQ(ragged.file.columns[2].skipped, 2);

    // "①" exists in CP932 only, not in Shift_JIS proper.
    DataFileResult cp932 = readDataText("\x87@\r\n12\r\n13\r\n");
    ASSERT_EQ(cp932.problem, FileProblem::None);
    EXPECT_EQ(cp932.file.encoding, TextEncoding::ShiftJis);
    EXPECT_EQ(cp932.file.columns[0].heading, "①");

    // Semicolons with "." decimals are no decimal-comma file.
    DataFileResult dots = readDataText("a;b\n1.5;2\n");
    EXPECT_EQ(dots.file.separator, ';');
    EXPECT_FALSE(dots.file.decimalComma);
    EXPECT_EQ(dots.file.columns[0].numbers, std::vector<std::string>{"1.5"});
}

TEST(DataFile, EveryLineEndAndEveryMixOfThemEndsALine) {
    for (const char* text :
         {"1\r\n2\r\n3", "1\n2\n3\n", "1\r2\r3\r", "1\r\n2\r3\n", "\r\n1\r\r\n2\n\n3\r"}) {
        DataFileResult read = readDataText(text);
        ASSERT_EQ(read.problem, FileProblem::None);
        EXPECT_EQ(read.file.columns[0].numbers, (std::vector<std::string>{"1", "2", "3"}))
            << "text '" << text << "'";
    }
}

TEST(DataFile, FilesWithoutDataGiveOneProblemEach) {
    TempFolder folder;
    EXPECT_EQ(readDataFile(folder.file("none.csv")).problem, FileProblem::Missing);
    EXPECT_EQ(readDataFile(folder.path().string()).problem, FileProblem::Folder);
    EXPECT_EQ(readDataFile(folder.write("empty.csv", "")).problem, FileProblem::Empty);
    EXPECT_EQ(readDataFile(folder.write("blank.csv", " \r\n\r\n")).problem, FileProblem::Empty);
    EXPECT_EQ(
        readDataFile(folder.write("shot.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)))
            .problem,
        FileProblem::Binary);
    EXPECT_EQ(readDataFile(folder.write("book.xlsx", std::string("PK\x03\x04\x14\0", 6))).problem,
              FileProblem::Spreadsheet);
    // 0x81 0x20 is neither UTF-8 nor a CP932 character.
    EXPECT_EQ(readDataFile(folder.write("odd.txt", "12\r\n\x81 \r\n")).problem,
              FileProblem::Encoding);
    EXPECT_EQ(readDataFile(folder.write("words.csv", "a,b\r\nc,d\r\n")).problem,
              FileProblem::NoNumbers);
    // A sparse file beyond the limit is refused from its size, without reading it.
    const std::string huge = folder.write("huge.csv", "1\n");
    std::filesystem::resize_file(huge, kMaxDataFileBytes + 1);
    EXPECT_EQ(readDataFile(huge).problem, FileProblem::TooLarge);
    if (::geteuid() != 0) {  // root reads every file
        const std::string locked = folder.write("locked.csv", "1\n");
        std::filesystem::permissions(locked, std::filesystem::perms::none);
        EXPECT_EQ(readDataFile(locked).problem, FileProblem::Unreadable);
    }

    EXPECT_EQ(fileProblemMessage(FileProblem::Missing, "a.csv"),
              "ファイル「a.csv」が見つかりません。");
    EXPECT_EQ(fileProblemMessage(FileProblem::Cancelled, "a.csv"), "");
}

TEST(DataFile, ColumnsAreFoundByNumberFromOneOrByHeading) {
    DataFile file = readDataText(lab::csvUtf8()).file;
    EXPECT_EQ(findColumn(file, "1"), 0u);
    EXPECT_EQ(findColumn(file, "3"), 2u);
    EXPECT_EQ(findColumn(file, "カルシウム"), 1u);
    EXPECT_EQ(findColumn(file, "0"), std::nullopt);
    EXPECT_EQ(findColumn(file, "4"), std::nullopt);
    EXPECT_EQ(findColumn(file, "Ca"), std::nullopt);
}

TEST(DataFile, AReaderOnAnotherThreadCanBeStopped) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "1,2\n";
    ReadProgress progress;
    progress.cancel = true;
    EXPECT_EQ(readDataText(text, &progress).problem, FileProblem::Cancelled);
    ReadProgress full;
    EXPECT_EQ(readDataText(text, &full).problem, FileProblem::None);
    EXPECT_EQ(full.done.load(), full.total.load());
}

TEST(DataFile, ANamedPipeIsReadOnceItsWriterComesOrRefused) {
    TempFolder folder;
    const std::string pipe = folder.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // The writer opens the pipe after the reader: its lines are read, not an empty file.
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::ofstream(pipe) << "Ca\n9.1\n9.4\n1,234\n";
    });
    const DataFileResult read = readDataFile(pipe);
    writer.join();
    ASSERT_EQ(read.problem, FileProblem::None);
    EXPECT_EQ(read.file.columns.at(0).count, 3);
    EXPECT_EQ(read.file.columns.at(0).heading, "Ca");
    // No writer at all: refused after a few seconds, neither empty nor waited on for ever.
    EXPECT_EQ(readDataFile(pipe).problem, FileProblem::Pipe);
}

}  // namespace
}  // namespace kijunchi

// The batch's reader and the data-file reader read every file alike: the same headings, the
// same numbers in each column, the same fields skipped, the same refusals.
#include "study/table_stream.h"

#include <gtest/gtest.h>

#include <random>

#include "analysis/number_text.h"
#include "files/data_file.h"
#include "support/temp_files.h"

namespace kijunchi {
namespace {

struct Columns {
    std::vector<std::string> headings;
    std::vector<std::vector<double>> numbers;
    std::vector<std::int64_t> skipped;
    std::vector<std::int64_t> counts;  // every number, also beyond those kept
};

Columns fromDataFile(const DataFile& file) {
    Columns out;
    for (const DataColumn& column : file.columns) {
        out.headings.push_back(column.heading);
        out.numbers.emplace_back();
        for (const std::string& n : column.numbers) out.numbers.back().push_back(*leadingNumber(n));
        out.skipped.push_back(column.skipped + column.malformed + column.outOfRange);
        out.counts.push_back(column.count);
    }
    return out;
}

Columns fromStream(TableStream& table) {
    Columns out;
    out.headings = table.headings();
    const std::size_t columns = out.headings.size();
    out.numbers.resize(columns);
    out.skipped.resize(columns);
    out.counts.resize(columns);
    std::vector<std::string_view> fields;
    table.restart();
    while (table.nextRow(fields)) {
        for (std::size_t c = 0; c < columns; ++c) {
            const auto n = c < fields.size() ? table.number(fields[c]) : std::nullopt;
            if (n && ++out.counts[c] <= static_cast<std::int64_t>(kKeptValues))
                out.numbers[c].push_back(*n);
            else if (!n)
                ++out.skipped[c];
        }
    }
    return out;
}

void expectAlike(const std::string& name, const std::string& bytes) {
    SCOPED_TRACE(name);
    const testing::TempFolder folder;
    const std::string path = folder.write(name, bytes);
    const DataFileResult read = readDataFile(path);
    ASSERT_EQ(read.problem, FileProblem::None);
    std::string problem;
    auto table = TableStream::open(path, problem);
    ASSERT_TRUE(table) << problem;
    EXPECT_EQ(table->separator(), read.file.separator);
    EXPECT_EQ(table->decimalComma(), read.file.decimalComma);
    const Columns a = fromDataFile(read.file), b = fromStream(*table);
    EXPECT_EQ(b.headings, a.headings);
    EXPECT_EQ(b.numbers, a.numbers);
    EXPECT_EQ(b.skipped, a.skipped);
    EXPECT_EQ(b.counts, a.counts);
    // A second pass gives the same.
    EXPECT_EQ(fromStream(*table).numbers, a.numbers);
}

TEST(TableStream, ReadsEveryFileAsTheDataFileReaderDoes) {
    expectAlike("comma.csv", "Ca;Sex\r\n9,5;F\r\n10,25;M\r\n;\r\n11;\r\n");
    expectAlike("lonecr.txt", "x\r1\r\r2,5\r");
    // Two numbers of three: the first row is data, not headings.
    expectAlike("mostly.csv", "1,2,abc\n3,4,5\n");
    // Quotes, ideographic spaces, units after the number, a column that starts late.
    expectAlike("mixed.csv",
                "\xEF\xBB\xBF"
                "\"Na, serum\",K\r\n\"140\",\xE3\x80\x80"
                "4.1 mmol/L\r\n141\r\n,,7\r\n");
    expectAlike("utf16be.txt", std::string("\xFE\xFF\0x\0\n\0001\0\n\0002\0\n", 14));

    // Over several blocks of the stream: Shift_JIS groups, CR LF, a first column of
    // varying width, so that blocks end inside sequences and between CR and LF.
    std::string big = "\x92\x6C,\x90\xAB\x95\xCA\r\n";  // 値,性別
    for (int i = 0; i < 250000; ++i)
        big += std::to_string(i % 997) + "." + std::to_string(i % 7) + "," +
               (i % 3 ? "\x8F\x97" : "\x92\x6A") + "\r\n";  // 女 / 男
    ASSERT_GT(big.size(), std::size_t{2} << 20);
    expectAlike("big.csv", big);
}

TEST(TableStream, AgreesWithTheDataFileReaderOnRandomSmallFiles) {
    // Files made of the pieces that steer the reading: separators, quotes, line ends, blanks,
    // decimal commas, words, Shift_JIS and UTF-8 letters.
    const std::vector<std::string> pieces = {
        "1",  "2.5", "-3",           ",",   ";", "\t", "\"",       "\r\n",         "\n",
        "\r", " ",   "\xE3\x80\x80", "4,5", "x", "mg", "\x8F\x97", "\xE5\xA5\xB3", "1E3"};
    std::mt19937 engine(15);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1), length(0, 40);
    const testing::TempFolder folder;
    int compared = 0;
    for (int file = 0; file < 400; ++file) {
        std::string bytes;
        for (std::size_t n = length(engine); n > 0; --n) bytes += pieces[piece(engine)];
        SCOPED_TRACE(::testing::PrintToString(bytes));
        const std::string path = folder.write("random.csv", bytes);
        const DataFileResult read = readDataFile(path);
        std::string problem;
        auto table = TableStream::open(path, problem);
        const bool readable =
            read.problem == FileProblem::None || read.problem == FileProblem::NoNumbers;
        ASSERT_EQ(bool(table), readable) << problem;
        if (!table) {
            EXPECT_EQ(problem, fileProblemMessage(read.problem, path));
            continue;
        }
        const Columns a = fromDataFile(read.file), b = fromStream(*table);
        EXPECT_EQ(b.headings, a.headings);
        EXPECT_EQ(b.numbers, a.numbers);
        EXPECT_EQ(b.skipped, a.skipped);
        ++compared;
    }
    // Most files are read, not refused.
    EXPECT_GT(compared, 120) << compared;
}

// A file that is read but holds no number: the batch tells of each column on its own.
TEST(TableStream, OpensAFileWithoutNumbers) {
    const testing::TempFolder folder;
    const std::string path = folder.write("words.csv", "sex;note\r\nF;a\r\nM\r\n");
    EXPECT_EQ(readDataFile(path).problem, FileProblem::NoNumbers);
    std::string problem;
    auto table = TableStream::open(path, problem);
    ASSERT_TRUE(table) << problem;
    EXPECT_EQ(table->headings(), (std::vector<std::string>{"sex", "note"}));
    const Columns columns = fromStream(*table);
    EXPECT_EQ(columns.numbers, (std::vector<std::vector<double>>{{}, {}}));
    EXPECT_EQ(columns.skipped, (std::vector<std::int64_t>{2, 2}));
}

TEST(TableStream, RefusesWhatTheDataFileReaderRefusesInTheSameWords) {
    struct Refused {
        std::string name, bytes;
        FileProblem problem;
    };
    const std::vector<Refused> files = {
        {"nul.csv", std::string("1\n2\0\n", 5), FileProblem::Binary},
        {"control.csv", "1\n\x01\n2\n", FileProblem::Binary},
        {"cut.csv", "1,\x8F", FileProblem::Encoding},
        {"blank.csv", " \r\n\r\n", FileProblem::Empty},
    };
    const testing::TempFolder folder;
    for (const auto& [name, bytes, expected] : files) {
        SCOPED_TRACE(name);
        const std::string path = folder.write(name, bytes);
        EXPECT_EQ(readDataFile(path).problem, expected);
        std::string problem;
        EXPECT_FALSE(TableStream::open(path, problem));
        EXPECT_EQ(problem, fileProblemMessage(expected, path));
    }
}

}  // namespace
}  // namespace kijunchi

// The extract's pre-filters and partitions on hand-made files: which results each keeps, in
// which partition, and what it says about the rows it leaves out.
#include "indirect/extract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <map>
#include <numeric>
#include <thread>

#include "support/temp_files.h"

namespace kijunchi {
namespace {

// patient, sex, age, date, setting, value
constexpr const char* kExtract =
    "ID,性別,年齢,日付,区分,値\n"
    "A,男,30,2024-03-01,外来,5.1\n"
    "A,男,30,2024-01-10,入院,4.9\n"  // A's first result by date
    "B,女,70,2024-02-01,外来,<0.5\n"
    "C,女,5,2024/2/3,外来,>100\n"
    "D,男,45,2024-13-01,外来,6.0\n"    // no such month
    "E,,50,2024-04-01,外来,7.0\n"      // no sex
    "F,女,130,2024-04-02,外来,8.0\n"   // older than the last band
    "G,男,20,2024-05-05,外来,陰性\n";  // not a number

// What a partition holds: measured, below, above.
using Held = std::map<std::string, std::array<std::int64_t, 3>>;

Held held(const ExtractResult& r) {
    Held out;
    for (const auto& p : r.partitions)
        out[p.label] = {p.counts.measured(), p.counts.censoredBelow(), p.counts.censoredAbove()};
    return out;
}

struct Case {
    const char* name;
    ExtractOptions options;
    Held expected;
};

TEST(Extract, FiltersAndPartitions) {
    testing::TempFolder folder;
    const std::string file = folder.write("extract.csv", kExtract);
    ExtractOptions base;
    base.valueColumn = "値";
    const auto with = [&](auto change) {
        ExtractOptions o = base;
        change(o);
        return o;
    };
    const Case cases[] = {
        // Every row with a value: D's 6.0 of the bad date is kept without a date column.
        {"all", base, {{"全体", {5, 1, 1}}}},
        {"by sex",
         with([](ExtractOptions& o) { o.groupColumn = "性別"; }),
         {{"男", {3, 0, 0}}, {"女", {1, 1, 1}}}},
        {"age bands",
         with([](ExtractOptions& o) {
             o.ageColumn = "年齢";
             o.ageBands = {0, 18, 60, 120};
         }),
         {{"0歳以上18歳未満", {0, 0, 1}},
          {"18歳以上60歳未満", {4, 0, 0}},
          {"60歳以上120歳未満", {0, 1, 0}}}},
        {"setting",
         with([](ExtractOptions& o) {
             o.where = {{"区分", "入院"}};
         }),
         {{"全体", {1, 0, 0}}}},
        // The bad date is left out; the range takes in February and March.
        {"date range",
         with([](ExtractOptions& o) {
             o.dateColumn = "日付";
             o.from = *dateKey("2024-02-01");
             o.to = *dateKey("2024-03-01 23:59:59");
         }),
         {{"全体", {1, 1, 1}}}},
        // A by date: 4.9 of January, not 5.1 first in the file.
        {"first by date",
         with([](ExtractOptions& o) {
             o.patientColumn = "ID";
             o.firstPerPatient = true;
             o.dateColumn = "日付";
         }),
         {{"全体", {3, 1, 1}}}},
        {"first in file order",
         with([](ExtractOptions& o) {
             o.patientColumn = "ID";
             o.firstPerPatient = true;
         }),
         {{"全体", {4, 1, 1}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = readExtract({file}, c.options);
        ASSERT_EQ(r.problem, "");
        EXPECT_EQ(held(r), c.expected);
        EXPECT_EQ(r.rows, 8);
    }
    EXPECT_EQ(readExtract({file}, base).notNumber, 1);
    // The values kept by first in file order: A's 5.1, not 4.9.
    const auto r = readExtract({file}, cases[6].options);
    using Values = std::vector<std::pair<double, std::int64_t>>;
    EXPECT_EQ(r.partitions[0].counts.sorted(), (Values{{5.1, 1}, {6.0, 1}, {7.0, 1}, {8.0, 1}}));
    EXPECT_EQ(readExtract({file}, cases[5].options).partitions[0].counts.sorted(),
              (Values{{4.9, 1}, {7.0, 1}, {8.0, 1}}));
}

TEST(Extract, TwoFilesAreOneExtractAndSummariesPool) {
    testing::TempFolder folder;
    const std::string a = folder.write("a.tsv", "群\t値\t件数\n男\t5.1\t3\n男\t<0.5\t2\n");
    // Shift_JIS: 男 is 0x92 0x6A, 群 0x8C 0x51, 値 0x92 0x6C, 件数 0x8C 0x8F 0x90 0x94.
    const std::string b = folder.write(
        "b.tsv", "\x8C\x51\t\x92\x6C\t\x8C\x8F\x90\x94\n\x92\x6A\t5.1\t4\n\x92\x6A\t6\t1\n");
    ExtractOptions o;
    o.valueColumn = "値";
    o.countColumn = "件数";
    o.groupColumn = "群";
    const auto r = readExtract({a, b}, o);
    ASSERT_EQ(r.problem, "");
    ASSERT_EQ(r.partitions.size(), 1u);
    EXPECT_EQ(r.partitions[0].counts.sorted(),
              (std::vector<std::pair<double, std::int64_t>>{{5.1, 7}, {6.0, 1}}));
    EXPECT_EQ(r.partitions[0].counts.censoredBelow(), 2);
}

TEST(Extract, BadExtractsSaySo) {
    testing::TempFolder folder;
    const std::string file = folder.write("extract.csv", kExtract);
    ExtractOptions o;
    o.valueColumn = "結果";
    EXPECT_NE(readExtract({file}, o).problem.find("値の列が見つかりません: 結果"),
              std::string::npos);
    o.valueColumn = "値";
    EXPECT_NE(readExtract({folder.file("none.csv")}, o).problem, "");
    o.dateColumn = "日付";
    EXPECT_EQ(readExtract({file}, o).badDate, 1);

    std::string problem;
    EXPECT_FALSE(parseAgeBands("0,18,12,60", problem));
    EXPECT_NE(problem.find("小さい順"), std::string::npos);
    EXPECT_FALSE(parseAgeBands("0,a", problem));
    EXPECT_FALSE(parseAgeBands("18", problem));
    EXPECT_EQ(parseAgeBands("0,1,6,12,18,40,60,120", problem)->size(), 8u);
}

TEST(Extract, ValuesAndDates) {
    const struct {
        const char* field;
        ResultValue::Kind kind;
        double value;
    } values[] = {{"5.25", ResultValue::Number, 5.25}, {"<0.02", ResultValue::Below, 0.02},
                  {"≦5", ResultValue::Below, 5},       {"＜ 3", ResultValue::Below, 3},
                  {">1000", ResultValue::Above, 1000}, {"≧7.5", ResultValue::Above, 7.5},
                  {"<", ResultValue::None, 0},         {"陰性", ResultValue::None, 0},
                  {"", ResultValue::None, 0}};
    for (const auto& v : values) {
        SCOPED_TRACE(v.field);
        const auto r = readResult(v.field, false);
        EXPECT_EQ(r.kind, v.kind);
        if (v.kind != ResultValue::None) {
            EXPECT_DOUBLE_EQ(r.value, v.value);
        }
    }
    EXPECT_EQ(dateKey("2024-01-31"), 20240131000000);
    EXPECT_EQ(dateKey("2024/1/5 8:05"), 20240105080500);
    EXPECT_EQ(dateKey("20240229"), 20240229000000);
    for (const char* bad : {"2023-02-29", "2024-13-01", "31/01/2024", "2024-01-31x", ""})
        EXPECT_FALSE(dateKey(bad)) << bad;
}

// Every spelling of a result below or above a limit, and the numbers the data files' rule refuses
// (the expected kinds and values written by hand).
TEST(Extract, CensoredSpellingsAndRefusedNumbers) {
    const std::string digits400(400, '7'), digits100k(100 * 1024, '9');
    const struct {
        std::string field;
        ResultValue::Kind kind;
        double value;
        FieldNumber::Kind unread;
    } cases[] = {
        {"<0.02", ResultValue::Below, 0.02, {}},
        {"＜0.02", ResultValue::Below, 0.02, {}},
        {"≦5", ResultValue::Below, 5, {}},
        {"0.02未満", ResultValue::Below, 0.02, {}},
        {"0.02 以下", ResultValue::Below, 0.02, {}},
        {"＜　０．０２", ResultValue::Below, 0.02, {}},
        {"０．０２未満", ResultValue::Below, 0.02, {}},
        {"1000以上", ResultValue::Above, 1000, {}},
        {"1000超", ResultValue::Above, 1000, {}},
        {">1000", ResultValue::Above, 1000, {}},
        {"> 1,000", ResultValue::Above, 1000, {}},
        {"１０００ 以上", ResultValue::Above, 1000, {}},
        {"12,345", ResultValue::Number, 12345, {}},
        {"１２．５", ResultValue::Number, 12.5, {}},
        {"1e999", ResultValue::None, 0, FieldNumber::OutOfRange},
        {"-1e400", ResultValue::None, 0, FieldNumber::OutOfRange},
        {digits400, ResultValue::None, 0, FieldNumber::OutOfRange},
        {digits100k, ResultValue::None, 0, FieldNumber::OutOfRange},
        {"<1e999", ResultValue::None, 0, FieldNumber::OutOfRange},
        {"1.5.2", ResultValue::None, 0, FieldNumber::Malformed},
        {"1,23", ResultValue::None, 0, FieldNumber::Malformed},
        {"1.5.2未満", ResultValue::None, 0, FieldNumber::Malformed},
        {"陰性", ResultValue::None, 0, FieldNumber::Text},
        {"未満", ResultValue::None, 0, FieldNumber::Text},
        {"", ResultValue::None, 0, FieldNumber::Text},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field.substr(0, 40));
        const auto r = readResult(c.field, false);
        EXPECT_EQ(r.kind, c.kind);
        if (c.kind != ResultValue::None) {
            EXPECT_EQ(r.value, c.value);
        } else {
            EXPECT_EQ(r.unread, c.unread);
        }
    }
    const struct {
        const char* field;
        std::optional<std::int64_t> count;
        bool tooLarge;
    } counts[] = {{"3", 3, false},
                  {"1,234", 1234, false},
                  {"999999999999999", 999999999999999, false},
                  {"1000000000000000", std::nullopt, true},
                  {"9223372036854775807", std::nullopt, true},
                  {"99999999999999999999", std::nullopt, true},
                  {"1e999", std::nullopt, true},
                  {"-1", std::nullopt, false},
                  {"1.5", std::nullopt, false},
                  {"3E+17", std::nullopt, false},
                  {"", std::nullopt, false}};
    for (const auto& c : counts) {
        bool tooLarge = false;
        EXPECT_EQ(readCount(c.field, false, tooLarge), c.count) << c.field;
        EXPECT_EQ(tooLarge, c.tooLarge) << c.field;
    }
}

// Rows whose value, age or count the number rule refuses are counted by reason, none lands in a
// partition; undecodable bytes far into the file are counted, not a partition of their own.
TEST(Extract, RefusedFieldsAreCountedByReason) {
    testing::TempFolder folder;
    // 5 MB of good rows first, so that the bad bytes lie beyond the part the encoding is
    // judged from.
    std::string text = "性別,年齢,値,件数\n";
    while (text.size() < (std::size_t{5} << 20)) text += "男,30,5.1,1\n";
    const std::int64_t good =
        static_cast<std::int64_t>(std::count(text.begin(), text.end(), '\n')) - 1;
    text += "\x82\xA0,30,5.1,1\n";  // Shift_JIS in a UTF-8 file
    text += "男,1e999,5.1,1\n";     // an age out of range: not in the band 0–1
    text += "男,1.2.3,5.1,1\n";     // a malformed age
    text += "男,30,1e999,1\n";      // values out of range and malformed
    text += "男,30,1.5.2,1\n";
    text += "男,30,5.1,9223372036854775807\n";
    text += "男,30,5.1,-2\n";
    const std::string file = folder.write("extract.csv", text);
    ExtractOptions o;
    o.valueColumn = "値";
    o.groupColumn = "性別";
    o.ageColumn = "年齢";
    o.ageBands = {0, 1, 120};
    o.countColumn = "件数";
    const auto r = readExtract({file}, o);
    ASSERT_EQ(r.problem, "");
    EXPECT_EQ(held(r), (Held{{"男 1歳以上120歳未満", {good, 0, 0}}}));
    EXPECT_EQ(r.undecodable, 1);
    EXPECT_EQ(r.ageOutOfRange, 1);
    EXPECT_EQ(r.ageMalformed, 1);
    EXPECT_EQ(r.valueOutOfRange, 1);
    EXPECT_EQ(r.valueMalformed, 1);
    EXPECT_EQ(r.countTooLarge, 1);
    EXPECT_EQ(r.badCount, 1);
    EXPECT_EQ(r.notes().size(), 7u);

    // Counts whose sum passes the largest count end the reading.
    o = {};
    o.valueColumn = "値";
    o.countColumn = "件数";
    const auto sum = readExtract(
        {folder.write("sum.csv", "値,件数\n1,999999999999999\n2,999999999999999\n")}, o);
    EXPECT_NE(sum.problem.find("件数の合計"), std::string::npos);
}

// Inputs that must end the reading with a message, at once and in bounded memory.
TEST(Extract, OverlongLinesEndlessInputAndPipesAreRefused) {
    testing::TempFolder folder;
    ExtractOptions o;
    o.valueColumn = "1";
    o.pipeWaitMilliseconds = 100;
    const std::string longLine =
        folder.write("long.csv", "1\n2\n" + std::string(300 << 10, '5') + "\n");
    const std::string longQuoted =
        folder.write("quoted.csv", "a,b\n\"" + std::string(40 << 10, 'x') + "\n" +
                                       std::string(40 << 10, 'y') + "\",1\n");
    const std::string fifo = (folder.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string file;
        const char* says;
    } cases[] = {
        {longLine, "長すぎる行"},
        {longQuoted, "長すぎる行"},
        {"/dev/zero", "テキストのファイルではありません"},
        {fifo, "書き込みがありません"},
        {folder.write("bad.gz", std::string("\x1F\x8B\x08\0\0\0\0\0", 8) + "garbage"), "gzip"}};
    for (const auto& c : cases) {
        const auto r = readExtract({c.file}, o);
        EXPECT_NE(r.problem.find(c.says), std::string::npos) << c.file << ": " << r.problem;
    }
    // A named pipe with a writer is read once.
    o.pipeWaitMilliseconds = 20000;
    std::thread writer([&] { folder.write("fifo", "値\n1\n2\n<0.5\n"); });
    const auto r = readExtract({fifo}, o);
    writer.join();
    EXPECT_EQ(r.problem, "");
    EXPECT_EQ(r.kept, 3);
}

// gzip, standard input and the plain file give the same partitions; a quoted label with a line
// end stays one label.
TEST(Extract, GzipAndQuotedRecordsReadAsThePlainFile) {
    testing::TempFolder folder;
    std::string text = "群,値\n\"a\nb\",1\n\"a\nb\",<0.5\nc,2\r\nc,3\r";
    for (int i = 0; i < 20000; ++i) text += "c," + std::to_string(i % 97) + "\n";
    std::string packed(compressBound(text.size()) + 64, '\0');
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(text.data());
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = static_cast<uInt>(packed.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    packed.resize(z.total_out);
    deflateEnd(&z);
    // Two members, as files joined by cat are.
    const std::string gz = folder.write("e.csv.gz", packed + packed);
    const std::string twice = folder.write("twice.csv", text + text.substr(text.find('\n') + 1));
    ExtractOptions o;
    o.valueColumn = "値";
    o.groupColumn = "群";
    const auto a = readExtract({twice}, o), b = readExtract({gz}, o);
    ASSERT_EQ(a.problem, "");
    ASSERT_EQ(b.problem, "");
    EXPECT_EQ(held(a), held(b));
    EXPECT_EQ(held(a), (Held{{"a\nb", {2, 2, 0}}, {"c", {40004, 0, 0}}}));
    EXPECT_EQ(a.partitions[1].counts.sorted(), b.partitions[1].counts.sorted());
}

// Many distinct values, more than one table of them: the same counts as a plain map gives.
TEST(Extract, ValueCountsHoldManyDistinctValues) {
    ValueCounts counts;
    std::map<double, std::int64_t> expected;
    for (std::int64_t i = 0; i < 300000; ++i) {
        const double v = static_cast<double>((i * 7919) % 150001) / 4;  // each value twice
        counts.add(v, 1 + i % 3);
        expected[v] += 1 + i % 3;
    }
    counts.add(-0.0, 5);
    expected[0.0] += 5;
    counts.compact();
    counts.add(2.5, 1);
    expected[2.5] += 1;
    const auto sorted = counts.sorted();
    EXPECT_EQ(sorted,
              (std::vector<std::pair<double, std::int64_t>>(expected.begin(), expected.end())));
    EXPECT_EQ(counts.measured(),
              std::accumulate(expected.begin(), expected.end(), std::int64_t{0},
                              [](auto n, const auto& e) { return n + e.second; }));
}

}  // namespace
}  // namespace kijunchi

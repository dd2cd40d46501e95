// The extract's pre-filters and partitions on hand-made files: which results each keeps, in
// which partition, and what it says about the rows it leaves out.
#include "indirect/extract.h"

#include <gtest/gtest.h>

#include <map>

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
    EXPECT_EQ(r.partitions[0].counts.values().count(5.1), 1u);
    EXPECT_EQ(r.partitions[0].counts.values().count(4.9), 0u);
    EXPECT_EQ(readExtract({file}, cases[5].options).partitions[0].counts.values().count(4.9), 1u);
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
    EXPECT_EQ(r.partitions[0].counts.values().at(5.1), 7);
    EXPECT_EQ(r.partitions[0].counts.values().at(6.0), 1);
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

}  // namespace
}  // namespace kijunchi

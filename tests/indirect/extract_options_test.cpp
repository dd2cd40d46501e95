// The extract's choices checked before reading: each mistake is refused with its own sentence,
// in the window's words by default and in the caller's names when given; sound choices come back
// read (the bands, the date range).
#include "indirect/extract_options.h"

#include <gtest/gtest.h>

namespace kijunchi {
namespace {

TEST(ExtractOptions, EachMistakeIsRefusedInTheCallersWords) {
    using Set = void (*)(ExtractOptions&);
    const auto none = std::nullopt;
    const struct {
        const char* name;
        Set set;  // the columns chosen, besides the value column 値
        ExtractTexts typed;
        const char* window;  // the message under the window's labels
        const char* option;  // under the names "-0", "-1", … (the field's number after a dash)
    } cases[] = {
        {"value column as group",
         [](ExtractOptions& o) { o.groupColumn = "値"; },
         {none, none, none},
         "値の列とグループ列に同じ列は使えません: 値",
         "-0 と -2 に同じ列は使えません: 値"},
        {"count column as site",
         [](ExtractOptions& o) { o.countColumn = o.siteColumn = "件数"; },
         {none, none, none},
         "件数の列と施設の列に同じ列は使えません: 件数",
         "-1 と -3 に同じ列は使えません: 件数"},
        {"bands without an age column",
         [](ExtractOptions&) {},
         {"0,18", none, none},
         "年齢区分を使うには年齢の列を指定して下さい。",
         "-5 を使うには -4 を指定して下さい。"},
        {"an age column without bands",
         [](ExtractOptions& o) { o.ageColumn = "年齢"; },
         {none, none, none},
         "年齢の列には年齢区分（0,18,40,60,120 など）を指定して下さい。",
         "-4 には -5（0,18,40,60,120 など）を指定して下さい。"},
        {"bands out of order",
         [](ExtractOptions& o) { o.ageColumn = "年齢"; },
         {"0,40,18", none, none},
         "年齢区分は小さい順に並べて下さい: 0,40,18",
         "年齢区分は小さい順に並べて下さい: 0,40,18"},
        {"first per patient without patients",
         [](ExtractOptions& o) { o.firstPerPatient = true; },
         {none, none, none},
         "患者ごとに最初の結果を使うには患者IDの列を指定して下さい。",
         "-7 を使うには -6 を指定して下さい。"},
        {"first per patient of a summary",
         [](ExtractOptions& o) {
             o.countColumn = "件数";
             o.patientColumn = "ID";
             o.firstPerPatient = true;
         },
         {none, none, none},
         "件数の列（集計表）には患者ごとに最初の結果は使えません。",
         "-1（集計表）には -7 は使えません。"},
        {"a range's end without a date column",
         [](ExtractOptions&) {},
         {none, none, "2024-12-31"},
         "期間を使うには日付の列を指定して下さい。",
         "-10 を使うには -8 を指定して下さい。"},
        {"a start that is not a date",
         [](ExtractOptions& o) { o.dateColumn = "日付"; },
         {none, "2024-13-01", none},
         "期間の日付として読めません: 2024-13-01",
         "-9 の日付として読めません: 2024-13-01"},
    };
    const auto dash = [](ExtractField f) { return "-" + std::to_string(static_cast<int>(f)); };
    for (const auto& c : cases) {
        ExtractOptions options;
        options.valueColumn = "値";
        c.set(options);
        ExtractOptions again = options;
        EXPECT_EQ(validateExtractOptions(options, c.typed), c.window) << c.name;
        EXPECT_EQ(validateExtractOptions(again, c.typed, dash), c.option) << c.name;
    }
}

TEST(ExtractOptions, SoundChoicesComeBackRead) {
    ExtractOptions options;
    options.valueColumn = "値";
    options.ageColumn = "年齢";
    options.patientColumn = "ID";
    options.firstPerPatient = true;
    options.dateColumn = "日付";
    ASSERT_EQ(validateExtractOptions(options, {" 0, 18 ,120", "2024-01-01", "2024-01-31"}), "");
    EXPECT_EQ(options.ageBands, (std::vector<double>{0, 18, 120}));
    EXPECT_EQ(options.from, dateKey("2024-01-01 00:00:00"));
    // The last day is the whole of it.
    EXPECT_EQ(options.to, dateKey("2024-01-31 23:59:59"));
}

}  // namespace
}  // namespace kijunchi

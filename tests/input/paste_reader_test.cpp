#include "input/paste_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/store.h"
#include "input/grid_sink.h"
#include "support/data_set.h"
#include "support/recording_grid.h"
#include "transform/power_transform.h"

namespace kijunchi {
namespace {

using testing::dataValues;
using testing::RecordingGrid;

TEST(ReadPasteBuffer, ReadsRowsAndFieldsUntilAnEmptyLine) {
    struct Case {
        std::string text;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"12\r\n15.5\r\n\r\n20\r\n", {12, 15.5}},  // the empty line ends the reading
        {"\r\n12\r\n", {}},
        {"1\t2\t3\r\n4\t5\r\n", {1, 2, 3, 4, 5}},
        {"1\t\t3\r\n4", {1, 4}},  // an empty cell ends its row; the last line needs no CR LF
        {"\t7\r\n8\r\n", {8}},
        {"1\t2\n3\r\n4\n", {1, 2, 3, 4}},  // a lone LF ends a line like CR LF
        {"12\n\n13\n", {12}},              // and two of them make an empty line
        {"1\r2\r\n3\r", {1, 2, 3}},        // so does a lone CR (older spreadsheets)
        {"1\r\r2\r\n", {1}},               // and two CRs make an empty line too
        {"1\n\r2\n", {1}},                 // as do LF CR
        {"1,234\r\n", {1}},                // "1,234" reads 1
    };
    for (const auto& c : cases) {
        AnalysisStore store;
        NullGrid grid;
        auto result = ReadPasteBuffer(store, c.text, grid);
        EXPECT_EQ(dataValues(store), c.values) << "text '" << c.text << "'";
        EXPECT_EQ(store.WorkCount, int(c.values.size()));
        EXPECT_EQ(result.valuesFound, int(c.values.size()));
        EXPECT_EQ(result.fieldsSkipped, 0);

        // Read as a stream in chunks of one byte, the text gives the same values.
        FieldReader reader;
        for (char ch : c.text) reader.feed(std::string_view(&ch, 1));
        reader.finish();
        EXPECT_EQ(reader.values(), c.values) << "text '" << c.text << "'";
    }
}

TEST(ReadPasteBuffer, SkipsAndCountsFieldsWithoutANumber) {
    // A spreadsheet column with its heading, a cell of blanks, a note; a field that begins
    // with a number keeps its lenient reading ("12abc" is 12, "1E999" is 0).
    AnalysisStore store;
    NullGrid grid;
    auto result = ReadPasteBuffer(
        store, "Ca\r\nカルシウム\t9.1\r\n \r\nn.d.\r\n12abc\r\n1E999\r\n-.5\r\n&H\r\n", grid);
    EXPECT_EQ(dataValues(store), (std::vector<double>{9.1, 12, 0, -0.5}));
    EXPECT_EQ(result.valuesFound, 4);
    EXPECT_EQ(result.fieldsSkipped, 5);
    EXPECT_EQ(readingMessage(result), "数値でない欄5個を読み飛ばしました。");
    EXPECT_EQ(readingMessage(ReadPasteBuffer(store, "1\r\n2\r\n", grid)), "");
}

TEST(ReadPasteBuffer, ReadsFullWidthDigitsPointAndSigns) {
    AnalysisStore store;
    NullGrid grid;
    ReadPasteBuffer(store, "１２．５\r\n−３\r\n－０．２５\r\n＋１Ｅ２\t２ｄ－１\r\n", grid);
    EXPECT_EQ(dataValues(store), (std::vector<double>{12.5, -3, -0.25, 100, 0.2}));
}

TEST(ReadPasteBuffer, CountsBeyondTwoToTheThirtyFirstFields) {
    // Today's counts: every field found and every field skipped, in 64 bits.
    static_assert(sizeof(PasteResult{}.valuesFound) == 8);
    static_assert(sizeof(PasteResult{}.fieldsSkipped) == 8);
    PasteResult result;
    result.valuesFound = (std::int64_t{1} << 31) + 5;
    result.valuesKept = 5000;
    result.fieldsSkipped = 3000000000;
    EXPECT_EQ(
        readingMessage(result),
        "データ数が上限の5000を超えています（2147483653個）。先頭の5000個のみを読み込みました。"
        "\n数値でない欄3000000000個を読み飛ばしました。");
}

TEST(ReadPasteBuffer, FillsTheWholeDataSetWritesTheGridAndResetsTheTransformation) {
    AnalysisStore store;
    store.Lambda = store.LambdaShown = Value("0.5");
    RecordingGrid grid;
    ReadPasteBuffer(store, "0.123456789\r\n2\r\n", grid);
    EXPECT_EQ(store.AnalysisValues[1].toNumber(), 0.123456789);
    EXPECT_EQ(store.SortedValues[1], 2);  // slots 0..n−1
    ASSERT_EQ(grid.cells.size(), 1000u);  // the cells of higher positions are emptied
    EXPECT_EQ(grid.cell(0), "0.123456789");
    EXPECT_EQ(grid.cell(1), "2");
    EXPECT_EQ(grid.cell(2), "");
    EXPECT_EQ(grid.countLabels, std::vector<std::string>{"2"});
    EXPECT_GE(grid.currentCellResets, 1);
    EXPECT_EQ(grid.commentLabels, std::vector<std::string>{""});
    EXPECT_EQ(store.Lambda.kind(), Value::Kind::Text);
    EXPECT_TRUE(store.Lambda.isBlank());
    EXPECT_TRUE(store.LambdaShown.isBlank());

    RecordingGrid empty;
    ReadPasteBuffer(store, "", empty);
    EXPECT_EQ(empty.cells.size(), 1000u);  // an empty data set empties the whole grid
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(empty.cell(i), "") << i;
    EXPECT_EQ(empty.countLabels, std::vector<std::string>{"0"});
    EXPECT_EQ(store.WorkCount, 0);
}

TEST(ReadPasteBuffer, KeepsTheFirstFiveThousandValuesAndShowsTheFirstThousand) {
    // 5003 values in rows of three (the last row two values).
    std::string text;
    for (int i = 1; i <= 5003; ++i) text += std::to_string(i) + (i % 3 == 0 ? "\r\n" : "\t");
    AnalysisStore store;
    RecordingGrid grid;
    auto result = ReadPasteBuffer(store, text, grid);
    EXPECT_EQ(result.valuesFound, 5003);
    EXPECT_EQ(result.valuesKept, 5000);
    EXPECT_TRUE(result.truncated());
    EXPECT_EQ(store.WorkCount, 5000);
    EXPECT_EQ(store.DataValues[5000].toNumber(), 5000);
    ASSERT_EQ(grid.cells.size(), 1000u);
    EXPECT_EQ(grid.cells.back(), (std::pair<int, std::string>{999, "1000"}));
    EXPECT_EQ(grid.countLabels.back(), "5000");
    EXPECT_EQ(tooManyValuesMessage(5003),
              "データ数が上限の5000を超えています（5003個）。先頭の5000個のみを読み込みました。");
    EXPECT_FALSE(ReadPasteBuffer(store, text.substr(0, text.find("5001")), grid).truncated());

    // Over 5000 and fields without a number: the over-5000 line first.
    result = ReadPasteBuffer(store, "Ca\r\n" + text, grid);
    EXPECT_EQ(readingMessage(result),
              tooManyValuesMessage(5003) + "\n" + "数値でない欄1個を読み飛ばしました。");
}

TEST(ShowDataSet, ASmallDataSetOverALargeOneEmptiesTheCellsAboveItsCount) {
    std::string thousand;
    for (int i = 1; i <= 1000; ++i) thousand += std::to_string(i) + "\r\n";
    AnalysisStore store;
    RecordingGrid grid;
    ReadPasteBuffer(store, thousand, grid);
    ReadPasteBuffer(store, "5\r\n6\r\n7\r\n8\r\n9\r\n", grid);
    EXPECT_EQ(grid.cell(4), "9");
    for (int i = 5; i < 1000; ++i) ASSERT_EQ(grid.cell(i), "") << i;
    EXPECT_EQ(grid.countLabels.back(), "5");
}

TEST(RestoreMeasuredDataSet, BringsBackTheValuesBeforeTheFirstTransformation) {
    // As a generator leaves them: the grid's values rounded, the analysis values not.
    AnalysisStore store;
    RecordingGrid grid;
    for (int i = 1; i <= 200; ++i) store.AnalysisValues[i] = 10 + i / 7.0;
    store.WorkCount = store.DataCount = 200;
    FLSET(store, grid);
    const auto shown = store.DataValues;
    const auto measured = store.AnalysisValues;
    ASSERT_TRUE(applyLambda(store, "0", grid));
    ASSERT_TRUE(applyLambda(store, "0.5", grid));
    FLSET(store, grid);  // "閉じる" after the transformations
    store.WorkCount = 200;

    RecordingGrid after;
    restoreMeasuredDataSet(store, after);
    EXPECT_EQ(store.DataCount, 200);
    for (int i = 1; i <= 200; ++i) {
        ASSERT_EQ(store.DataValues[i], shown[i]) << i;
        ASSERT_EQ(store.AnalysisValues[i], measured[i]) << i;
        ASSERT_EQ(after.cell(i - 1), shown[i].toText()) << i;
    }
    EXPECT_EQ(after.cell(200), "");
    EXPECT_TRUE(store.Lambda.isBlank());
    EXPECT_TRUE(store.LambdaShown.isBlank());
    EXPECT_EQ(after.commentLabels, std::vector<std::string>{""});
    EXPECT_EQ(after.countLabels, std::vector<std::string>{"200"});

    // After New the data set as measured is empty, whatever DataCount said.
    newDataSet(store);
    restoreMeasuredDataSet(store, after);
    EXPECT_EQ(store.DataCount, 0);
    EXPECT_EQ(store.WorkCount, 0);
    EXPECT_EQ(after.cell(0), "");
}

}  // namespace
}  // namespace kijunchi

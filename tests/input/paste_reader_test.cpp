#include "input/paste_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "analysis/store.h"
#include "input/grid_sink.h"
#include "support/data_set.h"
#include "support/recording_grid.h"

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
        {"Value\r\n1,234\r\n", {0, 1}},    // a heading counts as 0; "1,234" reads 1
    };
    for (const auto& c : cases) {
        AnalysisStore store;
        NullGrid grid;
        auto result = ReadPasteBuffer(store, c.text, grid);
        EXPECT_EQ(dataValues(store), c.values) << "text '" << c.text << "'";
        EXPECT_EQ(store.WorkCount, int(c.values.size()));
        EXPECT_EQ(result.valuesFound, int(c.values.size()));
    }
}

TEST(ReadPasteBuffer, FillsTheWholeDataSetWritesTheGridAndResetsTheTransformation) {
    AnalysisStore store;
    store.Lambda = store.LambdaShown = Value("0.5");
    RecordingGrid grid;
    ReadPasteBuffer(store, "0.123456789\r\n2\r\n", grid);
    EXPECT_EQ(store.AnalysisValues[1].toNumber(), 0.123456789);
    EXPECT_EQ(store.SortedValues[1], 2);  // slots 0..n−1
    EXPECT_EQ(grid.cells, (std::vector<std::pair<int, std::string>>{{0, "0.123456789"}, {1, "2"}}));
    EXPECT_EQ(grid.countLabels, std::vector<std::string>{"2"});
    EXPECT_GE(grid.currentCellResets, 1);
    EXPECT_EQ(grid.commentLabels, std::vector<std::string>{""});
    EXPECT_EQ(store.Lambda.kind(), Value::Kind::Text);
    EXPECT_TRUE(store.Lambda.isBlank());
    EXPECT_TRUE(store.LambdaShown.isBlank());

    RecordingGrid empty;
    ReadPasteBuffer(store, "", empty);
    EXPECT_TRUE(empty.cells.empty());  // the old cells stay
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
}

}  // namespace
}  // namespace kijunchi

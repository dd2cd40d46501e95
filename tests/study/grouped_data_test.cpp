#include "study/grouped_data.h"

#include <gtest/gtest.h>

#include "input/grid_sink.h"
#include "input/paste_reader.h"
#include "support/data_set.h"
#include "transform/power_transform.h"

namespace kijunchi {
namespace {

TEST(GroupedPaste, ValuesBecomeTheDataSetAndGroupsStayBeside) {
    AnalysisStore store;
    NullGrid grid;
    const auto pasted =
        ReadGroupedPaste(store, "Ca\tsex\r\n9.5\tF\r\n10\tM\r\nx\tF\r\n9.75\tF\r\n", grid);
    EXPECT_EQ(pasted.valuesText, "9.5\r\n10\r\n9.75\r\n");
    EXPECT_EQ(pasted.message, "数値でないかグループが空の行1個を読み飛ばしました。");
    EXPECT_EQ(testing::dataValues(store), (std::vector<double>{9.5, 10, 9.75}));
    const auto groups = currentGroups(store);
    ASSERT_TRUE(groups);
    ASSERT_EQ(groups->size(), 2u);
    EXPECT_EQ((*groups)[0].name, "F");
    EXPECT_EQ((*groups)[0].values, (std::vector<double>{9.5, 9.75}));

    // A transformation keeps the groups: they belong to the values as measured.
    ASSERT_TRUE(applyLambda(store, "0", grid));
    ASSERT_TRUE(currentGroups(store));
    EXPECT_EQ(measuredValues(store), (std::vector<double>{9.5, 10, 9.75}));

    // A plain paste of other values leaves the groups behind.
    ReadPasteBuffer(store, "1\r\n2\r\n3\r\n", grid);
    EXPECT_FALSE(currentGroups(store));
}

TEST(GroupedPaste, MoreThanTheDataSetHoldsKeepsTheGroupsOfTheValuesKept) {
    std::string text;
    for (int i = 0; i < kMaxValues + 3; ++i)
        text += std::to_string(i) + (i % 2 ? "\tA\n" : "\tB\n");
    AnalysisStore store;
    NullGrid grid;
    const auto pasted = ReadGroupedPaste(store, text, grid);
    EXPECT_TRUE(pasted.paste.truncated());
    EXPECT_EQ(pasted.message, tooManyValuesMessage(kMaxValues + 3));
    EXPECT_EQ(store.GroupLabels.size(), static_cast<std::size_t>(kMaxValues));
    EXPECT_TRUE(currentGroups(store));
}

}  // namespace
}  // namespace kijunchi

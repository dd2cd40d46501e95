#include "study/grouped_data.h"

#include <gtest/gtest.h>

#include "input/grid_sink.h"
#include "input/paste_reader.h"
#include "study/partition.h"
#include "support/data_set.h"
#include "support/temp_files.h"
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

TEST(GroupedPaste, LinesEndAsInThePlainPasteAndAFirstValueIsNoHeading) {
    struct Case {
        const char* text;
        std::vector<double> values;
        int skipped;
    };
    const Case cases[] = {
        {"9.1\tA\r9.2\tB\r9.3\tA\r9.4\tB\r9.5\tA\r", {9.1, 9.2, 9.3, 9.4, 9.5}, 0},
        {"9.1\tA\r\n9.2\tB\n9.3\tA\r", {9.1, 9.2, 9.3}, 0},
        {"<0.5\tA\r\n9.2\tB\r\n", {9.2}, 1},
        {"10 mg/dL\tA\r\n9.2\tB\r\n", {9.2}, 1},
        {"Ca\tsex\r\n9.2\tB\r\n", {9.2}, 0},
    };
    for (const Case& c : cases) {
        AnalysisStore store;
        NullGrid grid;
        const auto pasted = ReadGroupedPaste(store, c.text, grid);
        EXPECT_EQ(testing::dataValues(store), c.values) << c.text;
        EXPECT_EQ(pasted.message.empty(), c.skipped == 0) << c.text;
    }
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

// The rows of a small export: sample number, value, group. Row 4 has no group, row 5 no number.
struct Row {
    std::string sample, value, group;
};
const std::vector<Row> kRows = {{"A1", "9.5", "女"}, {"A2", "10", "男"},   {"A3", "9.75", "女"},
                                {"A4", "9.9", ""},   {"A5", "n.d.", "男"}, {"A6", "10.25", "男"},
                                {"A7", "8.5", "女"}};

// The file's rows with separator sep, the group in the first column, the value in the third.
std::string exportText(const std::string& sep) {
    std::string text = "グループ" + sep + "検体" + sep + "Ca\r\n";
    for (const Row& r : kRows) text += r.group + sep + r.sample + sep + r.value + "\r\n";
    return text;
}

// The same in Shift_JIS: グループ 83 4F 83 8B 81 5B 83 76, 検体 8C 9F 91 CC, 女 8F 97, 男 92 6A.
std::string shiftJis(std::string text) {
    const std::vector<std::pair<std::string, std::string>> codes = {
        {"グループ", "\x83\x4F\x83\x8B\x81\x5B\x83\x76"},
        {"検体", "\x8C\x9F\x91\xCC"},
        {"女", "\x8F\x97"},
        {"男", "\x92\x6A"}};
    for (const auto& [utf8, sjis] : codes)
        for (auto at = text.find(utf8); at != std::string::npos; at = text.find(utf8))
            text.replace(at, utf8.size(), sjis);
    return text;
}

TEST(GroupedFile, ValueAndGroupColumnsGiveWhatThePasteOfThemGives) {
    // The paste of the value and group columns, and what it must give, from the rows above.
    std::string paste = "Ca\tグループ\r\n";
    std::vector<double> values;
    std::vector<std::string> labels;
    for (const Row& r : kRows) {
        paste += r.value + "\t" + r.group + "\r\n";
        if (r.group.empty() || r.value == "n.d.") continue;
        values.push_back(std::stod(r.value));
        labels.push_back(r.group);
    }
    NullGrid grid;
    AnalysisStore pasted;
    ReadGroupedPaste(pasted, paste, grid);
    ASSERT_EQ(testing::dataValues(pasted), values);
    ASSERT_EQ(pasted.GroupLabels, labels);

    const testing::TempFolder folder;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"export.csv", exportText(",")},
        {"export.tsv", exportText("\t")},
        {"export-sjis.csv", shiftJis(exportText(","))}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const DataFileResult read =
            readDataFile(folder.write(name, bytes), nullptr, GroupedColumn{2, 0});
        ASSERT_EQ(read.problem, FileProblem::None);
        ASSERT_EQ(read.file.columns.size(), 3u);
        // Only the value column carries the groups.
        EXPECT_TRUE(read.file.columns[0].groups.empty());
        AnalysisStore store;
        const GroupedPaste out = ReadGroupedColumn(store, read.file.columns[2], grid);
        EXPECT_EQ(testing::dataValues(store), values);
        EXPECT_EQ(store.GroupLabels, labels);
        EXPECT_EQ(out.valuesText, "9.5\r\n10\r\n9.75\r\n10.25\r\n8.5\r\n");
        // The value without a group is told, not silently dropped.
        EXPECT_EQ(
            out.message,
            "数値でない欄1個を読み飛ばしました。\nグループが空欄の値1個は読み込んでいません。");
        const auto groups = currentGroups(store);
        ASSERT_TRUE(groups);
        ASSERT_EQ(groups->size(), 2u);
        EXPECT_EQ((*groups)[0].name, "女");
        EXPECT_EQ((*groups)[0].values, (std::vector<double>{9.5, 9.75, 8.5}));
        EXPECT_EQ((*groups)[1].values, (std::vector<double>{10, 10.25}));
    }
}

TEST(GroupedFile, CalciumBySexFromAShiftJisFileGivesThePartitionFigures) {
    // The published women's and men's values (tests/data/calcium_by_sex.tsv), written as a
    // Shift_JIS CSV with the group first and a sample number between.
    std::string csv = "グループ,検体,Ca\r\n";
    std::size_t line = 0;
    for (const auto& [value, sex] : testing::calciumBySexRows())
        csv += sex + ",S" + std::to_string(++line) + "," + value + "\r\n";
    ASSERT_EQ(line, 240u);
    const testing::TempFolder folder;
    const DataFileResult read =
        readDataFile(folder.write("calcium.csv", shiftJis(csv)), nullptr, GroupedColumn{2, 0});
    ASSERT_EQ(read.problem, FileProblem::None);
    EXPECT_EQ(read.file.encoding, TextEncoding::ShiftJis);
    AnalysisStore store;
    NullGrid grid;
    EXPECT_EQ(ReadGroupedColumn(store, read.file.columns[2], grid).message, "");
    const auto groups = currentGroups(store);
    ASSERT_TRUE(groups);
    // Harris and Boyd's z = 5.80 against z* = 3.00, the SD ratio 1.08 and the ANOVA SDR 0.52,
    // worked out in R from the published values (see the partition study's test).
    const PartitionStudy study = studyPartition(*groups);
    ASSERT_EQ(study.pairs.size(), 1u);
    EXPECT_EQ(study.groups[0].name, "女");
    EXPECT_EQ(study.groups[0].n, 120);
    EXPECT_EQ(study.groups[1].n, 120);
    EXPECT_NEAR(*study.pairs[0].z, 5.79633686442767, 1e-10);
    EXPECT_NEAR(study.pairs[0].zCritical, 3.0, 1e-14);
    EXPECT_NEAR(*study.pairs[0].sdRatio, 1.07721971988557, 1e-10);
    ASSERT_TRUE(study.anova);
    EXPECT_NEAR(*study.anova->sdr, 0.521196708274359, 1e-10);
    EXPECT_TRUE(study.partitionNeeded);
}

}  // namespace
}  // namespace kijunchi

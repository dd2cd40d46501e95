#include "study/partition.h"

#include <gtest/gtest.h>

#include "study/grouped_text.h"
#include "study/study_text.h"
#include "support/data_set.h"

namespace kijunchi {
namespace {

std::vector<ValueGroup> calciumBySex() {
    auto read = readGroupedText(testing::testData("calcium_by_sex.tsv"));
    EXPECT_EQ(read.groupHeading, "性別");
    EXPECT_EQ(read.skipped, 0);
    return groupValues(read.values, read.labels);
}

TEST(PartitionStudy, CalciumWomenAndMenNeedIntervalsOfTheirOwn) {
    // Expected figures from R 4.2 on the two published files: mean(), sd(), the z of
    // Harris and Boyd by hand, anova(lm(x ~ sex)) for the mean squares with
    // n0 = (N − Σnᵢ²/N)/(k − 1) = 120.
    auto study = studyPartition(calciumBySex());
    ASSERT_EQ(study.refusal, "");
    ASSERT_EQ(study.groups.size(), 2u);
    EXPECT_EQ(study.groups[0].name, "女");
    EXPECT_EQ(study.groups[0].n, 120);
    EXPECT_NEAR(study.groups[0].mean, 9.570833333333333, 1e-12);
    EXPECT_NEAR(*study.groups[0].sd, 0.291445494373264, 1e-12);
    EXPECT_EQ(study.groups[1].name, "男");
    EXPECT_NEAR(study.groups[1].mean, 9.797499999999999, 1e-12);
    EXPECT_NEAR(*study.groups[1].sd, 0.313950833810678, 1e-12);

    ASSERT_EQ(study.pairs.size(), 1u);
    EXPECT_NEAR(*study.pairs[0].z, 5.79633686442767, 1e-10);
    EXPECT_NEAR(study.pairs[0].zCritical, 3.0, 1e-14);
    EXPECT_NEAR(*study.pairs[0].sdRatio, 1.07721971988557, 1e-10);
    EXPECT_TRUE(study.pairs[0].meansDiffer);
    EXPECT_FALSE(study.pairs[0].spreadsDiffer);

    ASSERT_TRUE(study.anova);
    EXPECT_NEAR(study.anova->sdBetween, 0.157874260767501, 1e-10);
    EXPECT_NEAR(study.anova->sdWithin, 0.302907248378852, 1e-10);
    EXPECT_NEAR(*study.anova->sdr, 0.521196708274359, 1e-10);
    EXPECT_TRUE(study.partitionNeeded);
    EXPECT_TRUE(study.notes.empty());

    // The figures as the window and the command line show them (4 significant digits).
    const std::string text = partitionText(study);
    EXPECT_NE(text.find("女\t120\t9.571\t0.2914\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("女 : 男\t5.796\t3\t1.077\t平均値に差あり\r\n"), std::string::npos);
    EXPECT_NE(text.find("SDR =\t0.5212\r\n"), std::string::npos);
    EXPECT_NE(text.find("グループごとに基準範囲を求めて下さい（「女」と「男」の平均値の差（z > "
                        "z*）、分散分析のSDR（≥ 0.4））。\r\n"),
              std::string::npos);
}

TEST(PartitionStudy, UnequalGroupsUseTheEffectiveGroupSize) {
    // Three groups of 5, 3 and 4 values: R's anova() gives the mean squares 88.9583333 and
    // 2.5555556; n0 = (12 − 50/12)/2 = 3.9166667; SDR = √((88.958 − 2.556)/3.917)/√2.556.
    auto study =
        studyPartition({{"a", {1, 2, 3, 4, 5}}, {"b", {2, 4, 6}}, {"c", {10, 11, 12, 13}}});
    ASSERT_TRUE(study.anova && study.anova->sdr);
    EXPECT_NEAR(*study.anova->sdr, 2.93807503671521, 1e-10);
    EXPECT_EQ(study.pairs.size(), 3u);  // a–b, a–c, b–c
    // Every group is below 20 values: each is named in a note, none is left out.
    EXPECT_EQ(study.notes.size(), 3u);
    EXPECT_NE(study.notes[1].find("「b」は値が3個で、20個未満です"), std::string::npos);
}

TEST(PartitionStudy, SimilarGroupsNeedOneInterval) {
    // Mirror images around 10 with the same spread: z = 0, SD ratio 1, no between-group
    // variance (its mean square 0 lies below the within one, so the SD between is 0).
    std::vector<double> a, b;
    for (int i = 0; i < 30; ++i) {
        a.push_back(10 + (i % 5) - 2);
        b.push_back(10 - (i % 5) + 2);
    }
    auto study = studyPartition({{"x", a}, {"y", b}});
    EXPECT_NEAR(*study.pairs[0].z, 0.0, 1e-12);
    EXPECT_NEAR(*study.pairs[0].sdRatio, 1.0, 1e-12);
    EXPECT_EQ(study.anova->sdBetween, 0.0);
    EXPECT_FALSE(study.partitionNeeded);
    EXPECT_EQ(study.advice,
              "全体で1つの基準範囲を求めて下さい（分割の基準に当たるものはありません）。");
}

TEST(PartitionStudy, ASpreadTwiceAsWideAloneAsksForPartition) {
    // Same mean; SDs in ratio exactly 2 (values ±1 against ±2), so only the SD ratio flags.
    std::vector<double> narrow, wide;
    for (int i = 0; i < 20; ++i) {
        narrow.push_back(i % 2 ? 11 : 9);
        wide.push_back(i % 2 ? 12 : 8);
    }
    auto study = studyPartition({{"narrow", narrow}, {"wide", wide}});
    EXPECT_NEAR(*study.pairs[0].sdRatio, 2.0, 1e-12);
    EXPECT_FALSE(study.pairs[0].meansDiffer);
    EXPECT_TRUE(study.pairs[0].spreadsDiffer);
    EXPECT_FALSE(study.anova->partitionNeeded);
    EXPECT_TRUE(study.partitionNeeded);
    EXPECT_NE(partitionText(study).find("narrow : wide\t0\t1.225\t2\tSDに差あり"),
              std::string::npos)
        << partitionText(study);  // z* = 3·√(40/240)
}

TEST(PartitionStudy, BadGroupingsAreRefusedOrNamedNeverDropped) {
    auto none = studyPartition({});
    EXPECT_EQ(none.refusal, "データがありません。");

    auto one = studyPartition({{"F", {1, 2, 3}}});
    EXPECT_EQ(one.refusal,
              "グループが1つしかありません（「F」）。分割の検討には2つ以上のグループが必要です。");
    EXPECT_EQ(partitionText(one), "分割の検討\r\n\r\n" + one.refusal + "\r\n");

    // A group of one value cannot be compared; with only one other group nothing is left.
    auto single = studyPartition({{"F", {1, 2, 3}}, {"M", {4}}});
    EXPECT_EQ(single.refusal, "比較できるグループ（値が2個以上）が2つありません。");
    ASSERT_EQ(single.notes.size(), 2u);
    EXPECT_NE(single.notes[1].find("「M」は値が1個"), std::string::npos);

    // With a third group the comparison goes on and the text still names the left-out group.
    auto three = studyPartition({{"F", {1, 2, 3}}, {"M", {4}}, {"X", {1, 2, 4}}});
    EXPECT_EQ(three.refusal, "");
    EXPECT_EQ(three.pairs.size(), 1u);
    EXPECT_NE(partitionText(three).find("M\t1\t4\t－\r\n"), std::string::npos);
    EXPECT_NE(partitionText(three).find("比較から外しました。"), std::string::npos);

    // Constant groups: no z and no ratio, but different constants separate completely.
    auto constant = studyPartition({{"a", {5, 5, 5}}, {"b", {6, 6, 6}}});
    EXPECT_FALSE(constant.pairs[0].z);
    EXPECT_FALSE(constant.pairs[0].sdRatio);
    EXPECT_TRUE(constant.pairs[0].meansDiffer);
    EXPECT_FALSE(constant.anova->sdr);
    EXPECT_TRUE(constant.partitionNeeded);
}

TEST(GroupedText, HeadingsBadLinesAndLineEnds) {
    auto read = readGroupedText(
        "\xEF\xBB\xBFValue\tSex\r\n1.5\tF\r\n\r\n2\t M \n x\tF\r\n3\t\r\n4\tF\tnote\r\n5");
    EXPECT_EQ(read.valueHeading, "Value");
    EXPECT_EQ(read.groupHeading, "Sex");
    EXPECT_EQ(read.values, (std::vector<double>{1.5, 2, 4}));
    EXPECT_EQ(read.labels, (std::vector<std::string>{"F", "M", "F"}));
    EXPECT_EQ(read.skipped, 3);  // "x", the empty group, the last line without a group
    EXPECT_EQ(read.message, "数値でないかグループが空の行3個を読み飛ばしました。");
    // Without a heading the first line is data.
    EXPECT_EQ(readGroupedText("7\tA\n").values, std::vector<double>{7});
    // Groups keep the order of their first value.
    auto groups = groupValues({1, 2, 3, 4}, {"M", "F", "M", "F"});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].name, "M");
    EXPECT_EQ(groups[0].values, (std::vector<double>{1, 3}));
}

}  // namespace
}  // namespace kijunchi

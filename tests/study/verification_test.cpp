#include "study/verification.h"

#include <gtest/gtest.h>

#include "analysis/distributions.h"
#include "study/study_text.h"

namespace kijunchi {
namespace {

// n values, of which `low` lie below 10, `high` above 20 and the rest inside.
std::vector<double> sample(int n, int low, int high) {
    std::vector<double> v;
    for (int i = 0; i < low; ++i) v.push_back(9.5);
    for (int i = 0; i < high; ++i) v.push_back(20.5);
    while (static_cast<int>(v.size()) < n) v.push_back(15);
    return v;
}

struct Case {
    int n, outside;
    double probability;  // R: pbinom(outside - 1, n, 0.05, lower.tail = FALSE)
    bool accepted;
};

TEST(Verification, DecisionsAndProbabilitiesAgainstTheExactBinomial) {
    const Case cases[] = {
        {20, 0, 1.0, true},
        {20, 2, 0.26416047505615015, true},
        {20, 3, 0.075483673788496367, false},
        {60, 5, 0.18033505619278217, true},
        {60, 6, 0.078719264576684517, false},
        {200, 14, 0.12989223370694222, true},
        {200, 15, 0.078134415673256297, false},
        {5000, 300, 0.00087833928135675355, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << ", outside " << c.outside);
        auto v = verifyInterval(10, 20, sample(c.n, c.outside / 2, c.outside - c.outside / 2));
        EXPECT_EQ(v.refusal, "");
        EXPECT_EQ(v.n, c.n);
        EXPECT_EQ(v.outside, c.outside);
        EXPECT_EQ(v.below, c.outside / 2);
        EXPECT_NEAR(v.probability, c.probability, 1e-9 * c.probability);
        EXPECT_EQ(v.accepted, c.accepted);
        EXPECT_EQ(v.byCount, c.n == 20);
    }
    // Small tails keep their precision (R: 4.5933724224534433e-20 for 23 of 40).
    EXPECT_NEAR(binomialUpperTail(23, 40, 0.05), 4.5933724224534433e-20, 1e-29);
}

TEST(Verification, ValuesOnTheLimitsAreInside) {
    auto values = sample(20, 0, 0);
    values[0] = 10;
    values[1] = 20;
    auto v = verifyInterval(10, 20, values);
    EXPECT_EQ(v.outside, 0);
}

TEST(Verification, TextOfADecision) {
    auto v = verifyInterval(10, 20, sample(20, 1, 2));
    EXPECT_EQ(verificationText(v),
              "基準範囲の検証\r\n\r\n"
              "基準範囲 =\t10\t <---> \t20\r\n"
              "データ数 =\t20\r\n"
              "範囲外 =\t3\t（15%）\r\n"
              "下限未満 =\t1\r\n"
              "上限超過 =\t2\r\n"
              "範囲外が3個以上になる確率 =\t0.07548\t（二項分布、範囲外の割合5%）\r\n"
              "\r\n"
              "判定: 採用できません（20個中、範囲外が3個以上）。"
              "新しい20個で検証し直すか、自施設で基準範囲を求めて下さい。\r\n");
    auto w = verifyInterval(10, 20, sample(60, 2, 3));
    EXPECT_NE(verificationText(w).find("判定: 採用できます（範囲外の割合は5%を有意に超えません。"),
              std::string::npos);
}

TEST(Verification, BadLimitsAndTooFewValuesAreRefusedWithAReason) {
    EXPECT_EQ(verifyInterval(20, 10, sample(20, 0, 0)).refusal,
              "下限（20）が上限（10）より小さくありません。下限と上限を確かめて下さい。");
    EXPECT_NE(verifyInterval(10, 10, sample(20, 0, 0)).refusal, "");
    EXPECT_EQ(verifyInterval(10, 20, sample(19, 0, 0)).refusal,
              "検証には20個以上の値が必要です（データ数 19）。");
    EXPECT_EQ(verifyTypedInterval("8.6", "abc", sample(20, 0, 0)).refusal,
              "下限と上限には数値を入力して下さい（下限「8.6」、上限「abc」）。");
    auto typed = verifyTypedInterval(" 9.5 ", "20", sample(20, 0, 0));
    EXPECT_EQ(typed.refusal, "");
    EXPECT_EQ(typed.below, 0);  // 9.5 is on the lower limit
    const auto refused = verifyInterval(20, 10, sample(20, 0, 0));
    EXPECT_EQ(verificationText(refused), "基準範囲の検証\r\n\r\n" + refused.refusal + "\r\n");
}

}  // namespace
}  // namespace kijunchi

#include "report/sig_round.h"

#include <gtest/gtest.h>

#include "analysis/number_text.h"

namespace kijunchi {
namespace {

struct Case {
    double value;
    const char* shown;  // the rounded value as the report writes it
};

void expectRounding(const Case& c) {
    EXPECT_EQ(numberText(SigRound(c.value, 4)), c.shown) << "value " << c.value;
}

TEST(SigRound, KeepsFourSignificantDigitsInsideTheDecadeTable) {
    const Case cases[] = {
        {123.44, "123.4"},
        {123.45, "123.5"},  // 1234.5 + 0.5 = 1235
        {0.0012345, "0.001235"},
        {98765, "98770"},  // d = -1
        {-2.34567, "-2.346"},
        {-2.3455, "-2.345"},  // -2345.5 + 0.5 = -2345: halves go towards plus infinity
        {-0.012345, "-0.01234"},
        {0, "0"},
        {1, "1"},
        {-1, "-1"},
        {999.95, "1000"},  // d = 1 for the decade of hundreds; rounds up into the next one
        {-999.96, "-1000"},
        {9999.5, "10000"},
        {1234567, "1235000"},
        {123456789, "123500000"},
        {0.099995, "0.1"},
        {1.5e-8, "1.5E-08"},
    };
    for (const auto& c : cases) expectRounding(c);
}

TEST(SigRound, ExtendsTheTableToEveryFiniteMagnitude) {
    // Beyond the table the decimals are still 3 − decade, negatives alike, so that no finite
    // statistic reports as blank.
    const Case cases[] = {
        {-1500, "-1500"},           {-123456.7, "-123500"},       {1e9, "1000000000"},
        {2e9, "2000000000"},        {2345678901, "2346000000"},   {4.5e15, "4.5E+15"},
        {1.234567e-9, "1.235E-09"}, {-1.23456e-12, "-1.235E-12"},
    };
    for (const auto& c : cases) expectRounding(c);
}

}  // namespace
}  // namespace kijunchi

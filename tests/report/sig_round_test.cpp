#include "report/sig_round.h"

#include <gtest/gtest.h>

#include "analysis/number_text.h"

namespace kijunchi {
namespace {

TEST(SigRound, KeepsFourSignificantDigitsInsideTheTableAndBeyondIt) {
    struct Case {
        double value;
        const char* shown;  // the rounded value as the report writes it
    };
    // 1234.5 + 0.5 = 1235; 98765 has d = −1; −2345.5 + 0.5 = −2345: halves go towards plus
    // infinity; 999.95 rounds up into the next decade. Beyond the table the decimals are
    // still 3 − decade, negatives alike, so that no finite statistic reports as blank; at the
    // edge of the doubles, rounding away from zero would overflow: the digit is cut.
    const Case cases[] = {{123.45, "123.5"},
                          {0.0012345, "0.001235"},
                          {98765, "98770"},
                          {-2.3455, "-2.345"},
                          {999.95, "1000"},
                          {1.5e-8, "1.5E-08"},
                          {-1500, "-1500"},
                          {2345678901, "2346000000"},
                          {4.5e15, "4.5E+15"},
                          {-1.23456e-12, "-1.235E-12"},
                          {1.7976931348623157e308, "1.797E+308"},
                          {-1.7976931348623157e308, "-1.797E+308"}};
    for (const auto& c : cases) {
        EXPECT_EQ(numberText(SigRound(c.value, 4)), c.shown) << "value " << c.value;
    }
}

}  // namespace
}  // namespace kijunchi

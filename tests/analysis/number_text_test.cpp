#include "analysis/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <utility>

#include "analysis/checked.h"
#include "analysis/value.h"

namespace kijunchi {
namespace {

TEST(NumberText, WritesFifteenSignificantDigitsAndSwitchesToExponentOutsidePlainRange) {
    // 0.1 + 0.2 is 0.30000000000000004 at 17 digits; negative zero is written 0.
    const std::pair<double, const char*> cases[] = {
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {0.0001, "0.0001"},
        {1e-5, "1E-05"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E+15"},
        {-1.2345e-5, "-1.2345E-05"},
        {-0.0, "0"},
        // Below the normal range a double holds
        // fewer digits: no invented ones.
        {5.66e-313, "5.66E-313"},
        {-4.9406564584124654e-324, "-5E-324"},
        {2.2250738585072014e-308, "2.2250738585072E-308"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(numberText(value), text) << value;
}

TEST(LenientNumber, ReadsTheLongestLeadingNumberAndNeverFails) {
    // A comma is neither a decimal point nor a group separator; blanks, TABs and line feeds
    // are dropped wherever they stand; D introduces an exponent like E; a heading reads as 0,
    // and so does a number too large for a double; a lone CR ends the number.
    const std::pair<const char*, double> cases[] = {
        {"-2.5E1", -25}, {"1,234", 1},   {" 1\t2\n3 ", 123}, {"1.2.3", 1.2},
        {"1E+", 1},      {"2.5D2", 250}, {"12abc", 12},      {"Value", 0},
        {"&H1F", 31},    {"&O17", 15},   {"1E999", 0},       {"12\r13", 12}};
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(lenientNumber(text), value) << "text '" << text << "'";
    // A hexadecimal integer beyond the range of a double: 300 hex digits are about 2^1200.
    EXPECT_EQ(lenientNumber("&H" + std::string(300, 'F')), 0.0);
    // Long forms of ordinary numbers: a million zeros after the point offset by the exponent,
    // and a thousand digits of mantissa.
    EXPECT_EQ(lenientNumber("0." + std::string(1050079, '0') + "5E1050080"), 5.0);
    EXPECT_EQ(lenientNumber("1" + std::string(1000, '0') + "E-1000"), 1.0);
}

TEST(LenientNumber, ReadsFullWidthDigitsPointSignsAndExponentLetters) {
    const std::pair<const char*, double> cases[] = {
        {"１２．５", 12.5}, {"－３", -3},     {"−0.5", -0.5},  // U+2212, the minus sign
        {"＋７", 7},        {"１Ｅ３", 1000}, {"２ｅ－１", 0.2},
        {"５Ｄ２", 500},    {"５ｄ＋１", 50}, {"１２ａ", 12}};
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(lenientNumber(text), value) << "text '" << text << "'";
    EXPECT_EQ(wholeNumber(" －０．５ "), -0.5);
    EXPECT_EQ(Value("０．５").toNumber(), 0.5);
    EXPECT_EQ(Value("０．５").toText(), "０．５");  // λ is still shown as typed
}

TEST(LeadingNumber, TellsAFieldWithoutANumberFromOneThatReadsAsZero) {
    for (const char* none :
         {"", " ", "Ca", "カルシウム", "n.d.", "-", ".", "E5", "&H", "&O8", "+."})
        EXPECT_FALSE(leadingNumber(none).has_value()) << "text '" << none << "'";
    const std::pair<const char*, double> numbers[] = {
        {"0", 0}, {"1E999", 0}, {"12abc", 12}, {"-.5", -0.5}, {" 3 ", 3}, {"&H1F", 31}, {"０", 0}};
    for (const auto& [text, value] : numbers) {
        EXPECT_EQ(leadingNumber(text), value) << "text '" << text << "'";
        EXPECT_TRUE(hasLeadingNumber(text)) << "text '" << text << "'";
    }
    for (const char* none : {"", "Ca", "&O8", "+."}) EXPECT_FALSE(hasLeadingNumber(none)) << none;
}

TEST(NumberText, WritesAPointUnderACommaLocale) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not generated (see scripts/install-packages.sh)";
    const std::string twelveAndAHalf = numberText(12.5), small = numberText(-1.2345e-5);
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_EQ(twelveAndAHalf, "12.5");
    EXPECT_EQ(small, "-1.2345E-05");
}

TEST(GeneralValue, ConvertsTextsInArithmeticAndRefusesTextsThatAreNoNumber) {
    EXPECT_EQ(Value().toNumber(), 0.0);
    EXPECT_EQ(Value(" 3 ").toNumber(), 3.0);
    EXPECT_THROW(Value("0.5abc").toNumber(), CalcError);
    EXPECT_THROW(Value("").toNumber(), CalcError);
    EXPECT_EQ(Value(0.1 + 0.2).toText(), "0.3");
    EXPECT_EQ(Value("0.50").toText(), "0.50");  // a text stays as it was written
    EXPECT_TRUE(Value("").isBlank());
    // The same whole-number reading, for a λ box: blanks around it allowed.
    EXPECT_EQ(wholeNumber("\t-0.50 "), -0.5);
    for (const char* refused : {"", "0.5abc", "1E999"})
        EXPECT_FALSE(wholeNumber(refused)) << refused;
    EXPECT_FALSE(Value(0.0).isBlank());
}

}  // namespace
}  // namespace kijunchi

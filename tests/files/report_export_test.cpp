// The report as CSV and the description of the data set.
#include "files/report_export.h"

#include <gtest/gtest.h>

namespace kijunchi {
namespace {

TEST(ReportCsv, ColumnsBecomeCommaFieldsQuotedWhereTheyMustBe) {
    EXPECT_EQ(reportCsv("a\tb\r\n\r\nx,y\t\"q\"\t end \n"),
              "\xEF\xBB\xBF"
              "a,b\r\n\r\n\"x,y\",\"\"\"q\"\"\",\" end \"\r\n");
    EXPECT_EQ(reportCsv(""), "\xEF\xBB\xBF");
}

TEST(LambdaDescription, NamesTheUntransformedAndTheLogarithmicCases) {
    EXPECT_EQ(lambdaDescription(Value()), "1（変換なし）");
    EXPECT_EQ(lambdaDescription(Value(std::string())), "1（変換なし）");
    EXPECT_EQ(lambdaDescription(Value(1.0)), "1（変換なし）");
    EXPECT_EQ(lambdaDescription(Value("0")), "0（対数変換）");
    EXPECT_EQ(lambdaDescription(Value("0.50")), "0.50");
}

}  // namespace
}  // namespace kijunchi

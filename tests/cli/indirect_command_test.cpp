// kijunchi-report --indirect on bad extracts: each says what is wrong, none aborts.
#include "cli/indirect_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/temp_files.h"

namespace kijunchi {
namespace {

TEST(IndirectCommand, BadExtractsGiveTheirMessage) {
    testing::TempFolder folder;
    std::string rows = "性別,年齢,日付,値\n";
    for (int i = 0; i < 10; ++i) rows += "男,30,2024-01-0" + std::to_string(i % 9 + 1) + ",5\n";
    rows += "女,30,2024-02-30,<1\n";
    const std::string file = folder.write("ten.csv", rows);
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* out;  // in standard output ("" for none)
        const char* err;  // in standard error
    } cases[] = {
        {"no value column",
         {"--indirect", "--column", "結果", file},
         2,
         "",
         "値の列が見つかりません"},
        {"bands out of order",
         {"--indirect", "--column", "値", "--age", "年齢", "--age-bands", "0,40,18", file},
         2,
         "",
         "小さい順"},
        {"partition of 10",
         {"--indirect", "--column", "値", "--group", "性別", file},
         0,
         "結果が10個しかありません",
         ""},
        {"all censored",
         {"--indirect", "--column", "値", "--group", "性別", file},
         0,
         "すべての結果が「<」「>」付き",
         ""},
        {"dates that do not parse",
         {"--indirect", "--column", "値", "--date", "日付", file},
         0,
         "",
         "日付を読めない1行"},
        {"no rows left",
         {"--indirect", "--column", "値", "--where", "性別=不明", file},
         3,
         "",
         "条件に合う結果がありません"},
        {"no file", {"--indirect", "--column", "値"}, 2, "", "ファイルを指定"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ostringstream out, err;
        EXPECT_EQ(runIndirectCommand(c.args, out, err), c.status);
        EXPECT_NE(out.str().find(c.out), std::string::npos) << out.str();
        EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
    }
}

}  // namespace
}  // namespace kijunchi

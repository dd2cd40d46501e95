#pragma once
// What the tests of the indirect method share: kijunchi-report --indirect run on arguments, and
// an extract workbook whose results sheet "結果" comes after a sheet of notes ("メモ").
#include <xlsxwriter.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/indirect_command.h"

namespace kijunchi::testing {

struct IndirectRun {
    int status = 0;
    std::string out, err;
};

inline IndirectRun runIndirect(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runIndirectCommand(args, out, err);
    return {status, out.str(), err.str()};
}

// The sheets of book: the notes, then the results with headings in the first row (returned).
inline lxw_worksheet* resultsSheet(lxw_workbook* book, const std::vector<std::string>& headings) {
    worksheet_write_string(workbook_add_worksheet(book, "メモ"), 0, 0, "抽出条件", nullptr);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "結果");
    for (std::size_t c = 0; c < headings.size(); ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), headings[c].c_str(), nullptr);
    return sheet;
}

}  // namespace kijunchi::testing

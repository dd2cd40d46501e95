#pragma once
// A laboratory's workbook as the benchmarks open it: one sheet of 5000 rows × 20 columns (a
// sample number, 17 results, 2 free-text comments that differ from row to row so that the
// archive does not shrink them away), about 10 MB as .xlsx, written with libxlsxwriter.
#include <xlsxwriter.h>

#include <filesystem>
#include <random>
#include <string>

namespace kijunchi::bench {

inline std::string writeLabWorkbook() {
    const auto path = std::filesystem::temp_directory_path() / "kijunchi-bench-lab.xlsx";
    lxw_workbook* book = workbook_new(path.string().c_str());
    lxw_worksheet* sheet = workbook_add_worksheet(book, "検査結果");
    std::mt19937 engine(11);
    std::normal_distribution<double> value(100, 15);
    std::uniform_int_distribution<int> letter(0, 63);
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-.";
    worksheet_write_string(sheet, 0, 0, "検体番号", nullptr);
    for (int c = 1; c <= 17; ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c),
                               ("項目" + std::to_string(c)).c_str(), nullptr);
    worksheet_write_string(sheet, 0, 18, "所見", nullptr);
    worksheet_write_string(sheet, 0, 19, "備考", nullptr);
    std::string comment;
    for (lxw_row_t r = 1; r <= 5000; ++r) {
        worksheet_write_string(sheet, r, 0, ("S" + std::to_string(100000 + r)).c_str(), nullptr);
        for (lxw_col_t c = 1; c <= 17; ++c)
            worksheet_write_number(sheet, r, c, value(engine), nullptr);
        for (lxw_col_t c = 18; c <= 19; ++c) {
            comment.assign(1160, ' ');
            for (char& ch : comment) ch = alphabet[letter(engine)];
            worksheet_write_string(sheet, r, c, comment.c_str(), nullptr);
        }
    }
    workbook_close(book);
    return path.string();
}

}  // namespace kijunchi::bench

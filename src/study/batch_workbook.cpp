#include "study/batch_workbook.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>
#include <functional>

#include "files/file_access.h"

namespace kijunchi {

namespace {

std::string failure(const std::string& path, const std::string& why) {
    return "ファイル「" + path + "」に書き込めませんでした。" + why;
}

// Writes the file whole beside path and puts it in place (nothing left behind on a failure).
std::string replaceWhole(const std::string& path,
                         const std::function<std::string(const std::string&)>& write) {
    // A device or a pipe is not replaced by a file of the same name.
    if (std::string refused = outputRefusal(path); !refused.empty()) return refused;
    const std::string why = replaceFileWhole(path, write);
    return why.empty() ? std::string() : failure(path, why);
}

// The width of a text in character cells: two for a character outside ASCII (kana, kanji).
double textWidth(std::string_view text) {
    double width = 0;
    for (unsigned char c : text) {
        if (c < 0x80)
            width += 1;
        else if ((c & 0xC0) != 0x80)
            width += 2;
    }
    return width;
}

// The first thing a sheet could not take. A cell left out would pass for a value that is not
// there, so any refusal of libxlsxwriter's refuses the whole write.
struct SheetErrors {
    lxw_error first = LXW_NO_ERROR;
    void operator()(lxw_error e) {
        if (first == LXW_NO_ERROR) first = e;
    }
    std::string why() const {
        switch (first) {
            case LXW_NO_ERROR:
                return {};
            case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
                return "32,767文字を超える文字列は表計算ソフトのセルに入りません。";
            case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
                return "表計算ソフトの1シートに入る1,048,576行・16,384列を超えます。";
            default:
                return lxw_strerror(first);
        }
    }
};

// Sets each column of sheet as wide as its widest text (80 cells at most), keeps the heading row
// in view and closes book: why a cell or the file failed, else an empty text.
std::string closeSheet(lxw_workbook* book, lxw_worksheet* sheet, const std::vector<double>& widths,
                       const SheetErrors& errors) {
    for (std::size_t c = 0; c < widths.size(); ++c)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                             std::min(widths[c], 80.0) + 2, nullptr);
    worksheet_freeze_panes(sheet, 1, 0);
    const lxw_error closed = workbook_close(book);
    if (errors.first != LXW_NO_ERROR) return errors.why();
    if (closed != LXW_NO_ERROR) return lxw_strerror(closed);
    return {};
}

}  // namespace

std::string writeBatchWorkbook(const std::string& path, const std::vector<BatchRow>& rows,
                               bool grouped) {
    return replaceWhole(path, [&](const std::string& temp) -> std::string {
        lxw_workbook* book = workbook_new(temp.c_str());
        if (!book) return "ブックを作れません。";
        lxw_worksheet* sheet = workbook_add_worksheet(book, "一括評価");
        lxw_format* bold = workbook_add_format(book);
        format_set_bold(bold);
        const std::vector<std::string> headings = batchHeadings(grouped);
        std::vector<double> widths(headings.size(), 6);
        SheetErrors errors;
        const auto text = [&](lxw_row_t row, lxw_col_t col, const std::string& t, lxw_format* f) {
            errors(worksheet_write_string(sheet, row, col, t.c_str(), f));
        };
        for (std::size_t c = 0; c < headings.size(); ++c) {
            text(0, static_cast<lxw_col_t>(c), headings[c], bold);
            widths[c] = std::max(widths[c], textWidth(headings[c]));
        }
        lxw_row_t r = 1;
        for (const BatchRow& row : rows) {
            const std::vector<BatchCell> cells = batchCells(row, grouped);
            for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
                const BatchCell& cell = cells[c];
                const auto col = static_cast<lxw_col_t>(c);
                if (!cell.number) {
                    if (!cell.text.empty()) text(r, col, cell.text, nullptr);
                } else if (!cell.text.empty()) {
                    // The figure as the TSV shows it (4 significant digits), as a number.
                    double v = 0;
                    std::from_chars(cell.text.data(), cell.text.data() + cell.text.size(), v);
                    errors(worksheet_write_number(sheet, r, col, v, nullptr));
                }
                widths[c] = std::max(widths[c], textWidth(cell.text));
            }
            ++r;
        }
        return closeSheet(book, sheet, widths, errors);
    });
}

std::string writeTsvWorkbook(const std::string& path, const std::string& sheetName,
                             std::string_view tsv) {
    return replaceWhole(path, [&](const std::string& temp) -> std::string {
        lxw_workbook* book = workbook_new(temp.c_str());
        if (!book) return "ブックを作れません。";
        lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName.c_str());
        lxw_format* bold = workbook_add_format(book);
        format_set_bold(bold);
        std::vector<double> widths;
        SheetErrors errors;
        lxw_row_t r = 0;
        std::size_t start = 0;
        while (start < tsv.size()) {
            std::size_t end = tsv.find('\n', start);
            if (end == std::string_view::npos) end = tsv.size();
            std::string_view line = tsv.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            start = end + 1;
            lxw_col_t c = 0;
            for (std::size_t from = 0;; ++c) {
                const std::size_t tab = line.find('\t', from);
                const std::string cell(line.substr(from, tab - from));
                double v = 0;
                const auto got = std::from_chars(cell.data(), cell.data() + cell.size(), v);
                if (r > 0 && !cell.empty() && got.ec == std::errc() &&
                    got.ptr == cell.data() + cell.size())
                    errors(worksheet_write_number(sheet, r, c, v, nullptr));
                else if (!cell.empty())
                    errors(
                        worksheet_write_string(sheet, r, c, cell.c_str(), r == 0 ? bold : nullptr));
                if (widths.size() <= c) widths.resize(c + 1, 6);
                widths[c] = std::max(widths[c], textWidth(cell));
                if (tab == std::string_view::npos) break;
                from = tab + 1;
            }
            ++r;
        }
        return closeSheet(book, sheet, widths, errors);
    });
}

std::string writeFileWhole(const std::string& path, std::string_view bytes) {
    if (std::string refused = outputRefusal(path); !refused.empty()) return refused;
    const std::string why = writeBytesWhole(path, bytes);
    return why.empty() ? std::string() : failure(path, why);
}

}  // namespace kijunchi

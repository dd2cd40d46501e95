#pragma once
// A data file read row by row, again and again, without keeping it in memory: the batch
// evaluation goes through the file once per analyte and holds only that analyte's values.
// The file is read as a data file is (encodings, separator, decimal mark, quoted fields,
// headings, numbers), a block at a time.
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/table_text.h"
#include "files/workbook.h"

namespace kijunchi {

class TableStream {
public:
    // Opens and inspects the file; nullopt with a message in Japanese when it cannot be read
    // (a file without numbers can: its columns are told of one by one).
    // A workbook's sheet (its number from 1 or its name; the first when empty) is read whole
    // into memory as cell texts and walked as the rows of a file.
    static std::optional<TableStream> open(const std::string& path, std::string& problem,
                                           std::string_view sheet = {});

    // The column headings in UTF-8 ("列1", "列2", … where the file has none).
    const std::vector<std::string>& headings() const { return headings_; }
    char separator() const { return layout_.separator; }
    bool decimalComma() const { return layout_.decimalComma; }

    // Back to the first data row.
    void restart();
    // The fields of the next data row, blanks around them dropped (rows without a filled
    // field are passed over); false at the end. The views stay valid until the next call.
    bool nextRow(std::vector<std::string_view>& fields);

    // A field as a number: a field that begins with one, as a data file reads it.
    std::optional<double> number(std::string_view field) const;
    // A field as text in UTF-8 (group labels), blanks around it dropped.
    std::string text(std::string_view field) const;

    // The column a command-line argument names: its number from 1, or its heading.
    std::optional<std::size_t> findColumn(std::string_view nameOrNumber) const;

private:
    TableStream() = default;
    FileProblem inspect();
    bool nextLine(std::string_view& line);
    void readBlock();

    std::string path_;
    std::ifstream in_;
    TextEncoding encoding_ = TextEncoding::Utf8;
    TableLayout layout_;
    bool hasHeadings_ = false;
    std::vector<std::string> headings_;

    // The pass under way.
    std::optional<TextDecoder> decoder_;
    std::string block_;  // bytes as read
    std::string text_;   // decoded; its lines up to complete_ are whole
    std::size_t complete_ = 0;
    LineReader lines_;
    bool end_ = false;          // the file has been read to its end
    bool undecodable_ = false;  // bytes not in the encoding
    bool checkText_ = false;    // look for control characters (while inspecting)
    bool controlBytes_ = false;
    bool headingLeft_ = false;  // the heading row is still to be passed over
    FieldSplitter splitter_;

    // A workbook's sheet, and the row the pass is at.
    std::unique_ptr<SheetTable> sheet_;
    std::size_t sheetRow_ = 0;
    bool openSheet(std::string_view sheet, std::string& problem);
};

}  // namespace kijunchi

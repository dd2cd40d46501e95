#pragma once
// A data file read row by row, as often as a view needs, without holding it in memory: the
// column dialog, the batch and the partition study all read through it. The file is read as a
// data file is (encodings, separator, decimal mark, quoted fields, headings, numbers), a block
// at a time. A file that cannot be read again (a pipe, standard input) is read once into
// memory, up to the size limit. A line longer than kMaxLineBytes, and a file that changes
// between two passes, end the reading with a problem.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/table_text.h"

namespace kijunchi {

class SheetReader;

struct TableOptions {
    bool regularOnly = false;      // refuse pipes, sockets and devices (the desktop's open)
    std::optional<bool> headings;  // the first row as headings: yes, no, or as the data say
    ReadProgress* progress = nullptr;
    // With a sheet (its number from 1 or its name; the first when empty) a workbook is read:
    // the sheet read through once when opened, then again at every pass, a row at a time, as
    // the rows of a file. Without one a workbook is refused as FileProblem::Spreadsheet, as any
    // data file reading does.
    std::optional<std::string> sheet;
};

class TableReader {
public:
    TableReader(TableReader&&) noexcept;
    TableReader& operator=(TableReader&&) noexcept;
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;
    ~TableReader();

    // Opens and inspects the file; nullopt with the reason when it cannot be read (a file
    // without numbers can: its columns are told of one by one).
    static std::optional<TableReader> open(const std::string& path, const TableOptions& options,
                                           FileProblem& problem);
    // The same, the reason as a message in Japanese that names the path (a workbook's sheet
    // as sheet names it).
    static std::optional<TableReader> open(const std::string& path, std::string& problem,
                                           std::string_view sheet = {});
    // Bytes already read (standard input).
    static std::optional<TableReader> fromBytes(std::string bytes, const TableOptions& options,
                                                FileProblem& problem);

    // The column headings in UTF-8 ("列1", "列2", … where the file has none).
    const std::vector<std::string>& headings() const { return headings_; }
    // Whether the file's heading row holds a heading for column c (not one numbered here).
    bool headingGiven(std::size_t c) const {
        return c < givenHeadings_.size() && givenHeadings_[c];
    }
    char separator() const { return layout_.separator; }
    bool decimalComma() const { return layout_.decimalComma; }
    TextEncoding encoding() const { return encoding_; }
    bool hasHeadings() const { return hasHeadings_; }
    // The first row was taken as headings although it holds numbers: the user is told.
    bool headingsToTell() const { return headingsToTell_; }

    // Back to the first data row.
    void restart();
    // The fields of the next data row, blanks around them dropped (rows without a filled
    // field are passed over); false at the end, or when the reading failed (problem()). The
    // views stay valid until the next call.
    bool nextRow(std::vector<std::string_view>& fields) {
        if (sheet_) return nextSheetRow(fields);
        std::string_view record;
        while (nextLine(record)) {
            recordLine_ = line_;
            // A line without a quote is a record of its own; the common case, decided here.
            if (!holdsQuote(record)) {
                if (!splitter_.splitPlain(record, layout_.separator)) continue;
            } else if (!joinQuotedRecord(record)) {
                break;
            } else if (!splitter_.split(record, layout_.separator)) {
                continue;
            }
            if (headingLeft_) {
                headingLeft_ = false;
                continue;
            }
            splitter_.takeFields(fields);
            return true;
        }
        fields.clear();
        return false;
    }
    // For a workbook's sheet, the columns the last row filled, in order: its other fields are
    // empty (the row is as wide as the widest so far). Null for a data file, whose row is
    // filled field for field. A reader that looks at every field of a row looks at these only,
    // so that a row costs its filled cells, not the width of the sheet.
    const std::vector<std::size_t>* filledColumns() const;

    // The line of the file (from 1) the row nextRow gave last began on; 0 for a workbook's sheet.
    std::size_t recordLine() const { return recordLine_; }

    // Why the last pass ended early: None after a whole pass.
    FileProblem problem() const { return problem_; }

    // A field as a number, as a data file reads it (nullopt for anything but a number).
    std::optional<double> number(std::string_view field) const {
        const FieldNumber n = readNumber(field);
        if (n.kind != FieldNumber::Number) return std::nullopt;
        return n.value;
    }
    FieldNumber readNumber(std::string_view field) const {
        return readFieldNumber(trimField(field), layout_.decimalComma);
    }
    // A field as text in UTF-8 (group labels), blanks around it dropped.
    std::string text(std::string_view field) const;

    // The column a command-line argument names: its number from 1, or its heading.
    std::optional<std::size_t> findColumn(std::string_view nameOrNumber) const;

private:
    TableReader();
    bool nextSheetRow(std::vector<std::string_view>& fields);
    FileProblem openSheet(const std::string& path, const TableOptions& options,
                          std::string& refusal);
    FileProblem openPath(const std::string& path, bool regularOnly);
    FileProblem takeBytes(std::string bytes);
    FileProblem inspect();
    // Numbers the columns without a heading ("列3"), telling them from those the file names.
    void nameColumns();
    bool nextLine(std::string_view& line) {
        while (!lines_.next(line)) {
            if (end_) return false;
            readBlock();
        }
        ++line_;
        if (line.size() > kMaxLineBytes) {
            fail(FileProblem::LineTooLong);
            return false;
        }
        return true;
    }
    // A line that holds a quote, joined by LF with the lines after it while a quoted field
    // holds their line ends; false when the reading failed.
    bool joinQuotedRecord(std::string_view& record);
    void readBlock();
    std::size_t readSource(char* buffer, std::size_t size);
    std::size_t blockSize() const;
    void fail(FileProblem problem);

    int fd_ = -1;           // a file read again at every pass
    std::string pipeHead_;  // the first byte of a named pipe, read while waiting for its writer
    std::string memory_;    // or its bytes, when it could only be read once
    std::size_t memoryPos_ = 0;
    std::uint64_t size_ = 0;     // the file's size when it was opened
    std::int64_t modified_ = 0;  // and its time of change, in nanoseconds
    int pass_ = 0;
    ReadProgress* progress_ = nullptr;
    std::optional<bool> forcedHeadings_;

    TextEncoding encoding_ = TextEncoding::Utf8;
    TableLayout layout_;
    bool hasHeadings_ = false;
    bool headingsToTell_ = false;
    std::vector<std::string> headings_;
    std::vector<bool> givenHeadings_;

    // The pass under way.
    std::optional<TextDecoder> decoder_;
    std::string block_;  // bytes as read
    std::string text_;   // decoded; its lines up to complete_ are whole
    std::size_t complete_ = 0;
    std::uint64_t passBytes_ = 0;
    LineReader lines_;
    bool end_ = false;        // the file has been read to its end
    bool checkText_ = false;  // look for control characters (while inspecting)
    bool controlBytes_ = false;
    bool undecodable_ = false;
    bool headingLeft_ = false;  // the heading row is still to be passed over
    FileProblem problem_ = FileProblem::None;
    std::string record_;          // a record whose quoted field holds line ends
    std::size_t line_ = 0;        // lines read in this pass
    std::size_t recordLine_ = 0;  // the line the last record began on
    FieldSplitter splitter_;

    // A workbook's sheet.
    std::unique_ptr<SheetReader> sheet_;
};

}  // namespace kijunchi

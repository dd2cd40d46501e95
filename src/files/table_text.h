#pragma once
// The text of a data table, as every reader of data files takes it: the checks on the bytes,
// the encoding and its decoding to UTF-8, the lines, the separator and decimal mark, the
// fields of a row, the heading row, and a field read as a number. The reader of a whole file
// into columns and the reader that goes through a file again and again both stand on this.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/paste_reader.h"

namespace kijunchi {

// Shared with a reader on another thread: how far the reading has come, and a request to stop.
struct ReadProgress {
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
    std::atomic<bool> cancel{false};
};

enum class TextEncoding { Utf8, Utf8WithBom, Utf16, ShiftJis };

// Why a file gives no data; None when it was read.
enum class FileProblem {
    None,
    Missing,
    Folder,
    Unreadable,
    Empty,
    TooLarge,
    Spreadsheet,
    Binary,
    Encoding,
    NoNumbers,
    Cancelled,
    LineTooLong,  // a line or field longer than any number can be
    Changed,      // the file changed while it was read
    Special,      // a pipe, socket or device where only a file will do
    Pipe          // standard input or a pipe that could not be read
};

// Files above this size are refused; everything below is read in time linear in its size.
inline constexpr std::uint64_t kMaxDataFileBytes = std::uint64_t{256} << 20;

// kMaxLineBytes (input/paste_reader.h) bounds a line, or a quoted field over several lines.

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Whether path names a file that can be opened: Missing, Folder or Unreadable when not. size
// is the file's size, 0 where it has none (a special file).
FileProblem checkPath(const std::string& path, std::uint64_t& size);

// What the first bytes and the size tell: an empty file, a too large one, a spreadsheet's
// workbook; None otherwise.
FileProblem checkBytes(std::string_view head, std::uint64_t size);

// Goes through the bytes of a file block by block for what decides its encoding: a NUL byte,
// and whether the bytes are UTF-8 throughout (a sequence may be cut between two blocks).
class EncodingScan {
public:
    void feed(std::string_view block);
    bool hasNul() const { return nul_; }
    // After the last block: all bytes valid UTF-8, none left in the middle of a sequence.
    bool utf8() const { return utf8_ && pending_.empty(); }

private:
    bool nul_ = false;
    bool utf8_ = true;
    std::string pending_;  // the start of a sequence cut at the end of a block
};

// The encoding: a byte order mark, else UTF-8 when the bytes are valid UTF-8, else CP932.
// Binary for a NUL byte in a file without a UTF-16 byte order mark.
FileProblem chooseEncoding(std::string_view head, const EncodingScan& scan, TextEncoding& encoding);

// How many bytes at the start of a file of this encoding come before the text: the UTF-8 byte
// order mark (the UTF-16 one is the decoder's).
std::size_t textStart(TextEncoding encoding);

// Turns the bytes of a file, block by block, into UTF-8.
class TextDecoder {
public:
    explicit TextDecoder(TextEncoding encoding);
    // Appends the UTF-8 of bytes to out; a sequence cut at the end waits for the next block.
    // false when the bytes are not in the encoding.
    bool decode(std::string_view bytes, std::string& out);
    // After the last block: whether the text ended at the end of a sequence.
    bool complete() const { return pending_.empty(); }

private:
    struct Closer {
        void operator()(void* cd) const;
    };
    std::unique_ptr<void, Closer> cd_;  // iconv's state; none for UTF-8
    std::string pending_;
    bool first_ = true;
};

// Control characters other than TAB, CR, LF, form feed and the end-of-file mark.
bool hasControlBytes(std::string_view text);

// Walks a text line by line: CR LF, LF and a lone CR each end a line.
class LineReader {
public:
    explicit LineReader(std::string_view text = {}) : text_(text) {}
    // Here rather than in the source: it runs once for every line of a file.
    bool next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        // One look at each byte: lines of data are short, and a call to search them costs more.
        const char* const data = text_.data();
        const std::size_t size = text_.size();
        std::size_t end = pos_;
        while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
        line = std::string_view(data + pos_, end - pos_);
        if (end + 1 < size && data[end] == '\r' && data[end + 1] == '\n') ++end;  // CR LF
        pos_ = end + 1 < size ? end + 1 : size;
        return true;
    }
    std::size_t position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Blanks (space, TAB, ideographic space) dropped at both ends.
std::string_view trimBlanks(std::string_view text);
// The same, with the common case (nothing to drop: neither end is a blank or a byte of an
// ideographic space) decided here, without a call: every field of a file passes through it.
inline std::string_view trimField(std::string_view text) {
    const auto edge = [](char c) { return c == ' ' || c == '\t' || c == '\xE3' || c == '\x80'; };
    if (text.empty() || (!edge(text.front()) && !edge(text.back()))) return text;
    return trimBlanks(text);
}
bool isBlank(std::string_view line);

// The separator and the decimal mark, judged from the first filled lines of a file.
struct TableLayout {
    char separator = 0;         // ',', '\t', ';', or 0 for one field per line
    bool decimalComma = false;  // "," was the decimal mark (with ";" between the fields)
};
inline constexpr std::size_t kSampleLines = 50;
// sample: the first kSampleLines lines that are not blank (at least one).
TableLayout detectLayout(const std::vector<std::string_view>& sample);

// Whether a line holds a quote: a short one byte by byte, a long one by a search.
inline bool holdsQuote(std::string_view line) {
    if (line.size() > 32) return line.find('"') != std::string_view::npos;
    for (const char c : line)
        if (c == '"') return true;
    return false;
}

// Whether a line leaves a quoted field open at its end (the record goes on in the next line),
// given whether one was open at its start.
bool quoteOpenAtEnd(std::string_view line, char separator, bool openAtStart);

// Splits records into fields. A field may be quoted ("a,b", "" for a quote, a line end
// inside); its blanks around are dropped. Separator 0: the whole record is one field. The
// fields stay valid until the next split and while the record does.
class FieldSplitter {
public:
    // false for a line that holds no filled field (a blank line, or only separators).
    bool split(std::string_view line, char separator) {
        return holdsQuote(line) ? splitQuoted(line, separator) : splitPlain(line, separator);
    }
    // The same for a line known to hold no quote.
    bool splitPlain(std::string_view line, char separator) {
        fields_.clear();
        if (!unquoted_.empty()) unquoted_.clear();
        if (separator == 0) {
            fields_.push_back(trimField(line));
            return !fields_.back().empty();
        }
        bool filled = false;
        std::size_t start = 0;
        for (;;) {
            const std::size_t sep = line.find(separator, start);
            const std::size_t end = sep == std::string_view::npos ? line.size() : sep;
            fields_.push_back(trimField(std::string_view(line.data() + start, end - start)));
            filled = filled || !fields_.back().empty();
            if (sep == std::string_view::npos) return filled;
            start = sep + 1;
        }
    }
    const std::vector<std::string_view>& fields() const { return fields_; }
    // Hands the fields over in place of a copy: into takes them, the splitter keeps into's
    // old storage for the next split.
    void takeFields(std::vector<std::string_view>& into) { into.swap(fields_); }

private:
    bool splitQuoted(std::string_view line, char separator);

    std::vector<std::string_view> fields_;
    std::deque<std::string> unquoted_;
};

// The field as a number text with "." as decimal mark and no TAB.
std::string normalised(std::string_view field, bool decimalComma);
// Whether a field holds a number: it begins with one (a unit or note may follow).
bool isNumberField(std::string_view field, bool decimalComma);
// The number a field begins with.
std::optional<double> fieldNumber(std::string_view field, bool decimalComma);

// A field of a data file read as a number: read whole, or said why not. The number may carry
// thousands separators ("1,234", "1.100,5" with the decimal comma) and a unit or note after it
// ("12 mg/dL"); a field with a second decimal mark or separators out of place is Malformed,
// one beyond the range of a double OutOfRange.
struct FieldNumber {
    enum Kind { Text, Number, Malformed, OutOfRange } kind = Text;
    double value = 0.0;
    bool grouped = false;  // thousands separators were dropped
};
// Every field but the plain ones of readPlainNumber.
FieldNumber readOtherFieldNumber(std::string_view field, bool decimalComma);

// The common case, read here without a call: up to 15 digits with at most one decimal mark
// between them. The digits as an integer are exact in a double, and so is the power of ten
// they are divided by; one division rounds correctly (and a whole number needs none). false
// for any other field.
inline bool readPlainNumber(std::string_view field, bool decimalComma, double& value) {
    if (field.empty() || field.size() > 16) return false;
    const char mark = decimalComma ? ',' : '.';
    std::uint64_t digits = 0;
    std::size_t count = 0, fraction = 0;
    bool afterMark = false;
    for (const char c : field) {
        if (c >= '0' && c <= '9') {
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            ++count;
            if (afterMark) ++fraction;
        } else if (c == mark && !afterMark && count > 0) {
            afterMark = true;
        } else {
            return false;
        }
    }
    if (count > 15 || (afterMark && fraction == 0)) return false;
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    value = fraction == 0 ? static_cast<double>(digits)
                          : static_cast<double>(digits) / kPowers[fraction];
    return true;
}

inline FieldNumber readFieldNumber(std::string_view field, bool decimalComma) {
    FieldNumber out;
    if (!readPlainNumber(field, decimalComma, out.value))
        return readOtherFieldNumber(field, decimalComma);
    out.kind = FieldNumber::Number;
    return out;
}

// A first row is the headings when most of its filled fields are not numbers.
bool isHeadingRow(const std::vector<std::string_view>& fields, bool decimalComma);
// ... or when all its filled fields are whole numbers that stand far outside their columns
// (years over measured values): rows are the rows after it (a sample).
bool isNumericHeadingRow(const std::vector<std::string_view>& first,
                         const std::vector<std::vector<std::string>>& rows, bool decimalComma);

// A text cell of a CSV or TSV output as a spreadsheet takes it safely: one that begins with
// "=", "+", "-", "@", TAB or CR would be read as a formula, so it gets a leading apostrophe.
// Only for texts; numbers, and a sign alone, are written as they are.
std::string spreadsheetCell(std::string_view text);

// The heading of a column that has none in the file: "列N", N from 1.
std::string numberedHeading(std::size_t column);

// The column a command-line argument names: its number from 1, or its heading.
std::optional<std::size_t> findColumn(const std::vector<std::string>& headings,
                                      std::string_view nameOrNumber);

}  // namespace kijunchi

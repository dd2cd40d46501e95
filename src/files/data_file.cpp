#include "files/data_file.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "analysis/number_text.h"

namespace kijunchi {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Structurally valid UTF-8 (lead and continuation bytes in their places).
bool isUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        // Runs of ASCII eight bytes at a time.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ull) break;
            p += 8;
        }
        if (p >= end) break;
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else
            return false;
        if (end - p <= more) return false;
        for (int k = 1; k <= more; ++k)
            if ((p[k] & 0xC0) != 0x80) return false;
        p += more + 1;
    }
    return true;
}

// Converts to UTF-8 with glibc's iconv; nullopt when the bytes are not in that encoding.
std::optional<std::string> convertToUtf8(std::string_view bytes, const char* from) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(bytes.size() * 3 / 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::size_t written = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        ok = false;  // EILSEQ or EINVAL: not this encoding
        break;
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(written);
    return out;
}

// Walks the text line by line: CR LF, LF and a lone CR each end a line.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        // memchr for LF, then for a lone CR inside the line: both run at memory speed.
        // The next LF is kept, so that a file of lone CRs is not searched again for every line.
        const char* begin = text_.data() + pos_;
        const std::size_t left = text_.size() - pos_;
        if (!lfKnown_ || (nextLf_ != std::string_view::npos && nextLf_ < pos_)) {
            lfKnown_ = true;
            const auto* found = static_cast<const char*>(std::memchr(begin, '\n', left));
            nextLf_ =
                found ? static_cast<std::size_t>(found - text_.data()) : std::string_view::npos;
        }
        const bool lf = nextLf_ != std::string_view::npos;
        std::size_t length = lf ? nextLf_ - pos_ : left;
        const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', length));
        if (cr && static_cast<std::size_t>(cr - begin) + 1 < length) {
            length = static_cast<std::size_t>(cr - begin);  // a lone CR ends the line
            line = text_.substr(pos_, length);
            pos_ += length + 1;
            return true;
        }
        line = text_.substr(pos_, cr ? length - 1 : length);
        pos_ += lf ? length + 1 : length;
        return true;
    }
    std::size_t position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t nextLf_ = 0;  // where the next LF stands; npos when there is none
    bool lfKnown_ = false;
};

std::string_view trim(std::string_view text) {
    for (;;) {
        if (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
            text.remove_prefix(1);
        } else if (startsWith(text, kIdeographicSpace)) {
            text.remove_prefix(kIdeographicSpace.size());
        } else {
            break;
        }
    }
    for (;;) {
        if (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
            text.remove_suffix(1);
        } else if (text.size() >= kIdeographicSpace.size() &&
                   text.substr(text.size() - kIdeographicSpace.size()) == kIdeographicSpace) {
            text.remove_suffix(kIdeographicSpace.size());
        } else {
            break;
        }
    }
    return text;
}

// Splits one line into its fields. A field may be quoted ("a,b", "" for a quote); its blanks
// around are dropped. separator 0: the whole line is one field. Unquoted fields are views into
// the line; quoted ones are kept in unquoted.
void splitFields(std::string_view line, char separator, std::vector<std::string_view>& fields,
                 std::deque<std::string>& unquoted) {
    fields.clear();
    unquoted.clear();
    std::size_t pos = 0;
    for (;;) {
        std::size_t start = pos;
        while (start < line.size() && line[start] == ' ') ++start;
        std::size_t sep;
        if (start < line.size() && line[start] == '"') {
            std::string& field = unquoted.emplace_back();
            std::size_t i = start + 1;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            // Anything between the closing quote and the separator belongs to the field.
            sep = separator ? line.find(separator, i) : std::string_view::npos;
            field += line.substr(i, sep == std::string_view::npos ? sep : sep - i);
            fields.push_back(trim(field));
        } else {
            sep = separator ? line.find(separator, pos) : std::string_view::npos;
            fields.push_back(
                trim(line.substr(pos, sep == std::string_view::npos ? sep : sep - pos)));
        }
        if (sep == std::string_view::npos) break;
        pos = sep + 1;
    }
}

// How often a separator stands in a line outside quotes.
std::size_t countOutsideQuotes(std::string_view line, char separator) {
    std::size_t count = 0;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == separator && !quoted) {
            ++count;
        }
    }
    return count;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "12,5" or "-0,25": digits, one comma, digits.
bool looksLikeCommaDecimal(std::string_view field) {
    field = trim(field);
    if (!field.empty() && (field.front() == '-' || field.front() == '+')) field.remove_prefix(1);
    std::size_t comma = field.find(',');
    if (comma == 0 || comma == std::string_view::npos || comma + 1 >= field.size()) return false;
    if (field.find('.') != std::string_view::npos) return false;
    for (std::size_t i = 0; i < field.size(); ++i)
        if (i != comma && !isDigit(field[i])) return false;
    return true;
}

bool isBlank(std::string_view line) {
    return trim(line).empty();
}

constexpr std::size_t kSampleLines = 50;

// Picks the separator from the first lines: the first of TAB, ";", "," that stands the same
// number of times in every sampled line, else the one found in most lines, else none.
char detectSeparator(const std::vector<std::string_view>& sample) {
    constexpr std::array<char, 3> candidates = {'\t', ';', ','};
    for (char c : candidates) {
        std::size_t first = countOutsideQuotes(sample.front(), c);
        if (first == 0) continue;
        bool same = std::all_of(sample.begin(), sample.end(), [&](std::string_view line) {
            return countOutsideQuotes(line, c) == first;
        });
        if (same) return c;
    }
    char best = 0;
    std::size_t bestLines = 0;
    for (char c : candidates) {
        std::size_t lines = static_cast<std::size_t>(
            std::count_if(sample.begin(), sample.end(),
                          [&](std::string_view line) { return countOutsideQuotes(line, c) > 0; }));
        if (lines > bestLines) {
            best = c;
            bestLines = lines;
        }
    }
    return best;
}

// The field as a number text with "." as decimal mark and no TAB (a paste buffer separates
// fields by TAB; the number never needs one).
std::string normalised(std::string_view field, bool decimalComma) {
    std::string text(field);
    if (decimalComma) std::replace(text.begin(), text.end(), ',', '.');
    text.erase(std::remove(text.begin(), text.end(), '\t'), text.end());
    return text;
}

// A first row is the headings when most of its filled fields are not numbers.
bool isHeadingRow(const std::vector<std::string_view>& fields, bool decimalComma) {
    std::size_t filled = 0, text = 0;
    for (std::string_view field : fields) {
        if (field.empty()) continue;
        ++filled;
        if (!wholeNumber(normalised(field, decimalComma))) ++text;
    }
    return filled > 0 && text * 2 > filled;
}

bool allEmpty(const std::vector<std::string_view>& fields) {
    return std::all_of(fields.begin(), fields.end(), [](std::string_view f) { return f.empty(); });
}

FileProblem checkBytes(std::string_view bytes) {
    if (bytes.empty()) return FileProblem::Empty;
    if (bytes.size() > kMaxDataFileBytes) return FileProblem::TooLarge;
    // The workbook formats of spreadsheet programs (zip and the older compound file).
    if (startsWith(bytes, "PK\x03\x04") || startsWith(bytes, "\xD0\xCF\x11\xE0")) {
        return FileProblem::Spreadsheet;
    }
    return FileProblem::None;
}

bool hasControlBytes(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    for (;;) {
        // Eight bytes at a time while none of them is below 0x20.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (((word - 0x2020202020202020ull) & ~word & 0x8080808080808080ull) != 0) break;
            p += 8;
        }
        const auto* stop = std::min(end, p + 8);
        for (; p < stop; ++p) {
            const unsigned char c = *p;
            if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != 0x1A)
                return true;
        }
        if (p >= end) return false;
    }
}

}  // namespace

DataFileResult readDataText(std::string_view bytes, ReadProgress* progress) {
    DataFileResult result;
    if (FileProblem p = checkBytes(bytes); p != FileProblem::None) {
        result.problem = p;
        return result;
    }
    const std::uint64_t size = bytes.size();
    if (progress) {
        progress->total = size * 2;
        progress->done = size;
    }

    // The encoding: a byte order mark, else UTF-8 when the bytes are valid UTF-8, else CP932.
    std::string converted;
    std::string_view text;
    DataFile& file = result.file;
    if (startsWith(bytes, kUtf8Bom)) {
        file.encoding = TextEncoding::Utf8WithBom;
        text = bytes.substr(kUtf8Bom.size());
    } else if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) {
        auto utf8 = convertToUtf8(bytes, "UTF-16");
        if (!utf8) {
            result.problem = FileProblem::Encoding;
            return result;
        }
        converted = std::move(*utf8);
        if (startsWith(converted, kUtf8Bom)) converted.erase(0, kUtf8Bom.size());
        file.encoding = TextEncoding::Utf16;
        text = converted;
    } else if (bytes.find('\0') != std::string_view::npos) {
        result.problem = FileProblem::Binary;
        return result;
    } else if (isUtf8(bytes)) {
        file.encoding = TextEncoding::Utf8;
        text = bytes;
    } else {
        auto utf8 = convertToUtf8(bytes, "CP932");
        if (!utf8) {
            result.problem = FileProblem::Encoding;
            return result;
        }
        converted = std::move(*utf8);
        file.encoding = TextEncoding::ShiftJis;
        text = converted;
    }
    if (hasControlBytes(text)) {
        result.problem = FileProblem::Binary;
        return result;
    }

    // The separator and the decimal mark from the first filled lines.
    std::vector<std::string_view> sample;
    {
        LineReader lines(text);
        std::string_view line;
        while (sample.size() < kSampleLines && lines.next(line))
            if (!isBlank(line)) sample.push_back(line);
    }
    if (sample.empty()) {
        result.problem = FileProblem::Empty;
        return result;
    }
    file.separator = detectSeparator(sample);
    std::vector<std::string_view> fields;
    std::deque<std::string> unquoted;
    if (file.separator == ';') {
        for (std::string_view line : sample) {
            splitFields(line, ';', fields, unquoted);
            if (std::any_of(fields.begin(), fields.end(), looksLikeCommaDecimal)) {
                file.decimalComma = true;
                break;
            }
        }
    }

    // The rows.
    LineReader lines(text);
    std::string_view line;
    bool first = true;
    std::size_t row = 0;
    auto& columns = file.columns;
    while (lines.next(line)) {
        if (progress && (++row & 0xFFF) == 0) {
            if (progress->cancel) {
                result.problem = FileProblem::Cancelled;
                return result;
            }
            progress->done =
                size + static_cast<std::uint64_t>(static_cast<double>(lines.position()) /
                                                  static_cast<double>(text.size()) *
                                                  static_cast<double>(size));
        }
        if (isBlank(line)) continue;
        splitFields(line, file.separator, fields, unquoted);
        if (allEmpty(fields)) continue;
        if (fields.size() > columns.size()) {
            // A column that starts late was empty in the rows before.
            const std::int64_t rowsBefore =
                columns.empty() ? 0
                                : static_cast<std::int64_t>(columns.front().numbers.size()) +
                                      columns.front().skipped;
            for (std::size_t c = columns.size(); c < fields.size(); ++c) {
                DataColumn column;
                column.skipped = rowsBefore;
                columns.push_back(std::move(column));
            }
        }
        if (first) {
            first = false;
            if (isHeadingRow(fields, file.decimalComma)) {
                file.hasHeadings = true;
                for (std::size_t c = 0; c < fields.size(); ++c)
                    columns[c].heading = std::string(fields[c]);
                continue;
            }
        }
        for (std::size_t c = 0; c < columns.size(); ++c) {
            DataColumn& column = columns[c];
            if (c >= fields.size() || fields[c].empty()) {
                ++column.skipped;
                continue;
            }
            const std::string_view field = fields[c];
            // The common case needs no copy to be judged.
            const bool number = file.decimalComma ? hasLeadingNumber(normalised(field, true))
                                                  : hasLeadingNumber(field);
            if (number) {
                column.numbers.push_back(normalised(field, file.decimalComma));
            } else {
                ++column.skipped;
            }
        }
    }
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].heading.empty()) columns[c].heading = "列" + std::to_string(c + 1);
    if (std::all_of(columns.begin(), columns.end(),
                    [](const DataColumn& c) { return c.numbers.empty(); })) {
        result.problem = FileProblem::NoNumbers;
    }
    if (progress) progress->done = progress->total.load();
    return result;
}

DataFileResult readDataFile(const std::string& path, ReadProgress* progress) {
    DataFileResult result;
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
        result.problem = error && error != std::errc::no_such_file_or_directory
                             ? FileProblem::Unreadable
                             : FileProblem::Missing;
        return result;
    }
    if (fs::is_directory(status)) {
        result.problem = FileProblem::Folder;
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.problem = FileProblem::Unreadable;
        return result;
    }
    // Read in blocks so that a special file without a size still ends at the limit.
    std::string bytes;
    const std::uintmax_t size = fs::is_regular_file(status) ? fs::file_size(path, error) : 0;
    if (!error && size > kMaxDataFileBytes) {
        result.problem = FileProblem::TooLarge;
        return result;
    }
    if (progress) progress->total = std::max<std::uint64_t>(size, 1) * 2;
    if (!error && size > 0) bytes.reserve(static_cast<std::size_t>(size));
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::string block(kBlock, '\0');
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(kBlock));
        bytes.append(block.data(), static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > kMaxDataFileBytes) {
            result.problem = FileProblem::TooLarge;
            return result;
        }
        if (progress) {
            if (progress->cancel) {
                result.problem = FileProblem::Cancelled;
                return result;
            }
            progress->done = bytes.size();
        }
    }
    if (in.bad()) {
        result.problem = FileProblem::Unreadable;
        return result;
    }
    return readDataText(bytes, progress);
}

std::string fileProblemMessage(FileProblem problem, std::string_view fileName) {
    const std::string name = "「" + std::string(fileName) + "」";
    switch (problem) {
        case FileProblem::None:
        case FileProblem::Cancelled:
            return {};
        case FileProblem::Missing:
            return "ファイル" + name + "が見つかりません。";
        case FileProblem::Folder:
            return name + "はフォルダです。データのファイルを選んで下さい。";
        case FileProblem::Unreadable:
            return "ファイル" + name + "を読めません。読み取りの権限があるか確認して下さい。";
        case FileProblem::Empty:
            return "ファイル" + name + "は空です。";
        case FileProblem::TooLarge:
            return "ファイル" + name + "は大きすぎます（256 MBまで読めます）。";
        case FileProblem::Spreadsheet:
            return "ファイル" + name +
                   "は表計算ソフトのブックです。CSV（カンマ区切り）で保存してから開いて下さい。";
        case FileProblem::Binary:
            return "ファイル" + name + "はテキストのファイルではありません。";
        case FileProblem::Encoding:
            return "ファイル" + name +
                   "の文字コードを判別できません（UTF-8かShift_JISのテキストを読めます）。";
        case FileProblem::NoNumbers:
            return "ファイル" + name + "に数値がありません。";
    }
    return {};
}

std::optional<std::size_t> findColumn(const DataFile& file, std::string_view nameOrNumber) {
    const bool number = !nameOrNumber.empty() && nameOrNumber.size() <= 9 &&
                        std::all_of(nameOrNumber.begin(), nameOrNumber.end(), isDigit);
    if (number) {
        std::size_t n = std::stoul(std::string(nameOrNumber));
        if (n >= 1 && n <= file.columns.size()) return n - 1;
        return std::nullopt;
    }
    for (std::size_t c = 0; c < file.columns.size(); ++c)
        if (file.columns[c].heading == nameOrNumber) return c;
    return std::nullopt;
}

std::string columnLabel(const DataColumn& column) {
    return column.heading + "（" + std::to_string(column.numbers.size()) + "個）";
}

std::string columnValuesText(const DataColumn& column) {
    std::size_t size = 0;
    for (const auto& n : column.numbers) size += n.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& n : column.numbers) {
        text += n;
        text += "\r\n";
    }
    return text;
}

}  // namespace kijunchi

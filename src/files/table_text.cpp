#include "files/table_text.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "analysis/number_text.h"

namespace kijunchi {

namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Structurally valid UTF-8 (lead and continuation bytes in their places). incomplete: how many
// bytes at the end begin a sequence whose rest is still to come.
bool checkUtf8(std::string_view text, std::size_t& incomplete) {
    incomplete = 0;
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
        const int there = static_cast<int>(std::min<std::ptrdiff_t>(end - p - 1, more));
        for (int k = 1; k <= there; ++k)
            if ((p[k] & 0xC0) != 0x80) return false;
        if (there < more) {
            incomplete = static_cast<std::size_t>(end - p);
            return true;
        }
        p += more + 1;
    }
    return true;
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

// "12,5" or "-0,25": digits, one comma, digits.
bool looksLikeCommaDecimal(std::string_view field) {
    field = trimField(field);
    if (!field.empty() && (field.front() == '-' || field.front() == '+')) field.remove_prefix(1);
    std::size_t comma = field.find(',');
    if (comma == 0 || comma == std::string_view::npos || comma + 1 >= field.size()) return false;
    if (field.find('.') != std::string_view::npos) return false;
    for (std::size_t i = 0; i < field.size(); ++i)
        if (i != comma && !isDigit(field[i])) return false;
    return true;
}

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

}  // namespace

// --- The bytes and their encoding -----------------------------------------------------------

FileProblem checkPath(const std::string& path, std::uint64_t& size) {
    namespace fs = std::filesystem;
    size = 0;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
        return error && error != std::errc::no_such_file_or_directory ? FileProblem::Unreadable
                                                                      : FileProblem::Missing;
    }
    if (fs::is_directory(status)) return FileProblem::Folder;
    if (fs::is_regular_file(status)) {
        const std::uintmax_t bytes = fs::file_size(path, error);
        if (!error) size = bytes;
    }
    return FileProblem::None;
}

FileProblem checkBytes(std::string_view head, std::uint64_t size) {
    if (size == 0) return FileProblem::Empty;
    if (size > kMaxDataFileBytes) return FileProblem::TooLarge;
    // The workbook formats of spreadsheet programs (zip and the older compound file).
    if (startsWith(head, "PK\x03\x04") || startsWith(head, "\xD0\xCF\x11\xE0")) {
        return FileProblem::Spreadsheet;
    }
    return FileProblem::None;
}

void EncodingScan::feed(std::string_view block) {
    if (!nul_ && std::memchr(block.data(), '\0', block.size())) nul_ = true;
    if (!utf8_) return;
    std::size_t incomplete = 0;
    if (!pending_.empty()) {
        // Finish the cut sequence with the first bytes of this block.
        const std::size_t take = std::min<std::size_t>(block.size(), 4 - pending_.size());
        std::string joined = pending_ + std::string(block.substr(0, take));
        if (!checkUtf8(joined, incomplete)) {
            utf8_ = false;
            return;
        }
        const std::size_t used = joined.size() - incomplete;
        if (used <= pending_.size()) {  // still cut: the block was shorter than the sequence
            pending_ = joined;
            return;
        }
        block.remove_prefix(used - pending_.size());
        pending_.clear();
    }
    if (!checkUtf8(block, incomplete)) {
        utf8_ = false;
        return;
    }
    pending_ = std::string(block.substr(block.size() - incomplete));
}

FileProblem chooseEncoding(std::string_view head, const EncodingScan& scan,
                           TextEncoding& encoding) {
    if (startsWith(head, kUtf8Bom)) {
        encoding = TextEncoding::Utf8WithBom;
    } else if (startsWith(head, "\xFF\xFE") || startsWith(head, "\xFE\xFF")) {
        encoding = TextEncoding::Utf16;
    } else if (scan.hasNul()) {
        return FileProblem::Binary;
    } else {
        encoding = scan.utf8() ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
    }
    return FileProblem::None;
}

std::size_t textStart(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8WithBom ? kUtf8Bom.size() : 0;
}

void TextDecoder::Closer::operator()(void* cd) const {
    iconv_close(static_cast<iconv_t>(cd));
}

TextDecoder::TextDecoder(TextEncoding encoding) {
    const char* from = encoding == TextEncoding::Utf16      ? "UTF-16"
                       : encoding == TextEncoding::ShiftJis ? "CP932"
                                                            : nullptr;
    if (!from) return;
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd != reinterpret_cast<iconv_t>(-1)) cd_.reset(cd);
}

bool TextDecoder::decode(std::string_view bytes, std::string& out) {
    if (!cd_) {
        out += bytes;
        return true;
    }
    std::string joined;
    if (!pending_.empty()) {
        joined = pending_ + std::string(bytes);
        bytes = joined;
        pending_.clear();
    }
    const std::size_t start = out.size();
    std::size_t written = start;
    out.resize(start + bytes.size() * 3 / 2 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        std::size_t r = iconv(static_cast<iconv_t>(cd_.get()), &in, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        if (errno == EINVAL) {  // a sequence cut at the end: its rest comes with the next block
            pending_.assign(in, inLeft);
            break;
        }
        ok = false;  // EILSEQ: not this encoding
        break;
    }
    out.resize(written);
    // The UTF-16 decoder may hand its byte order mark on.
    if (first_ && written > start) {
        first_ = false;
        if (startsWith(std::string_view(out).substr(start), kUtf8Bom))
            out.erase(start, kUtf8Bom.size());
    }
    return ok;
}

bool hasControlBytes(std::string_view text) {
    static constexpr auto kControl = [] {
        std::array<unsigned char, 256> control{};
        for (int c = 0; c < 0x20; ++c)
            control[static_cast<std::size_t>(c)] =
                c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != 0x1A;
        return control;
    }();
    // Eight bytes at a time: passed over at once while none is below 0x20 (long fields of
    // text), else looked up without a branch for each byte (short lines, full of line ends).
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (((word - 0x2020202020202020ull) & ~word & 0x8080808080808080ull) == 0) continue;
        if (kControl[p[0]] | kControl[p[1]] | kControl[p[2]] | kControl[p[3]] | kControl[p[4]] |
            kControl[p[5]] | kControl[p[6]] | kControl[p[7]])
            return true;
    }
    for (; p < end; ++p)
        if (kControl[*p]) return true;
    return false;
}

// --- Lines and fields -----------------------------------------------------------------------

std::string_view trimBlanks(std::string_view text) {
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

bool isBlank(std::string_view line) {
    return trimField(line).empty();
}

TableLayout detectLayout(const std::vector<std::string_view>& sample) {
    TableLayout layout;
    layout.separator = detectSeparator(sample);
    if (layout.separator != ';') return layout;
    FieldSplitter splitter;
    for (std::string_view line : sample) {
        splitter.split(line, ';');
        const auto& fields = splitter.fields();
        if (std::any_of(fields.begin(), fields.end(), looksLikeCommaDecimal)) {
            layout.decimalComma = true;
            break;
        }
    }
    return layout;
}

bool quoteOpenAtEnd(std::string_view line, char separator, bool open) {
    if (std::none_of(line.begin(), line.end(), [](char c) { return c == '"'; })) return open;
    const std::size_t n = line.size();
    std::size_t i = 0;
    for (;;) {
        if (open) {
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    open = false;
                    break;
                }
                ++i;
            }
            if (open) return true;
        } else {
            while (i < n && line[i] == ' ') ++i;
            if (i < n && line[i] == '"') {
                open = true;
                ++i;
                continue;
            }
        }
        // The rest of the field, up to the next separator.
        const std::size_t sep = separator ? line.find(separator, i) : std::string_view::npos;
        if (sep == std::string_view::npos) return false;
        i = sep + 1;
    }
}

// A line with a quote somewhere: a field that begins with one is quoted.
bool FieldSplitter::splitQuoted(std::string_view line, char separator) {
    fields_.clear();
    if (!unquoted_.empty()) unquoted_.clear();
    if (separator == 0) {
        // One field a line, unquoted: the whole line.
        std::size_t start = 0;
        while (start < line.size() && line[start] == ' ') ++start;
        if (start == line.size() || line[start] != '"') {
            fields_.push_back(trimField(line));
            return !fields_.back().empty();
        }
    }
    std::size_t pos = 0;
    bool filled = false;
    for (;;) {
        std::size_t start = pos;
        while (start < line.size() && line[start] == ' ') ++start;
        std::size_t sep;
        if (start < line.size() && line[start] == '"') {
            std::string& field = unquoted_.emplace_back();
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
            fields_.push_back(trimField(field));
        } else {
            sep = separator ? line.find(separator, pos) : std::string_view::npos;
            fields_.push_back(
                trimField(line.substr(pos, sep == std::string_view::npos ? sep : sep - pos)));
        }
        filled = filled || !fields_.back().empty();
        if (sep == std::string_view::npos) break;
        pos = sep + 1;
    }
    return filled;
}

std::string normalised(std::string_view field, bool decimalComma) {
    std::string text(field);
    if (decimalComma) std::replace(text.begin(), text.end(), ',', '.');
    text.erase(std::remove(text.begin(), text.end(), '\t'), text.end());
    return text;
}

bool isNumberField(std::string_view field, bool decimalComma) {
    // The common case needs no copy to be judged.
    return decimalComma ? hasLeadingNumber(normalised(field, true)) : hasLeadingNumber(field);
}

std::optional<double> fieldNumber(std::string_view field, bool decimalComma) {
    return decimalComma ? leadingNumber(normalised(field, true)) : leadingNumber(field);
}

FieldNumber readOtherFieldNumber(std::string_view field, bool decimalComma) {
    FieldNumber out;
    const char mark = decimalComma ? ',' : '.';
    const char group = decimalComma ? '.' : ',';
    // A line end inside a quoted field: no number is written over two lines.
    if (field.find_first_of("\r\n") != std::string_view::npos) {
        out.kind = hasLeadingNumber(field) ? FieldNumber::Malformed : FieldNumber::Text;
        return out;
    }
    // The run of digits and marks the number begins with, after a sign.
    std::size_t start = 0;
    while (start < field.size() && (field[start] == ' ' || field[start] == '\t')) ++start;
    if (start < field.size() && (field[start] == '+' || field[start] == '-')) ++start;
    std::size_t end = start;
    while (end < field.size() && (isDigit(field[end]) || field[end] == mark || field[end] == group))
        ++end;
    const std::string_view run = field.substr(start, end - start);
    std::string text;
    if (run.find(group) != std::string_view::npos) {
        // Thousands separators: one to three digits, then groups of three, then the fraction.
        const std::size_t markAt = run.find(mark);
        const std::string_view whole = run.substr(0, markAt);
        bool valid = !whole.empty() && isDigit(whole.front()) &&
                     run.find(group, markAt == std::string_view::npos ? run.size() : markAt) ==
                         std::string_view::npos;
        std::size_t digits = 0;
        bool seenGroup = false;
        for (std::size_t i = 0; valid && i < whole.size(); ++i) {
            if (whole[i] == group) {
                valid = seenGroup ? digits == 3 : digits >= 1 && digits <= 3;
                seenGroup = true;
                digits = 0;
            } else {
                ++digits;
            }
        }
        valid = valid && digits == 3;
        if (!valid) {
            out.kind = FieldNumber::Malformed;
            return out;
        }
        text.assign(field.substr(0, start));
        for (char c : run)
            if (c != group) text += c;
        text.append(field.substr(end));
        out.grouped = true;
    } else {
        text.assign(field);
    }
    // A second decimal mark: the number would be cut there.
    if (std::count(run.begin(), run.end(), mark) > 1) {
        out.kind = FieldNumber::Malformed;
        return out;
    }
    if (decimalComma) std::replace(text.begin(), text.end(), ',', '.');
    text.erase(std::remove(text.begin(), text.end(), '\t'), text.end());
    const auto number = readLeadingNumber(text);
    if (!number) {
        out.grouped = false;
        return out;
    }
    out.kind = number->overflow ? FieldNumber::OutOfRange : FieldNumber::Number;
    out.value = number->overflow ? 0.0 : number->value;
    return out;
}

bool isNumericHeadingRow(const std::vector<std::string_view>& first,
                         const std::vector<std::vector<std::string>>& rows, bool decimalComma) {
    std::size_t filled = 0;
    for (std::size_t c = 0; c < first.size(); ++c) {
        if (first[c].empty()) continue;
        ++filled;
        const std::string_view heading = trimField(first[c]);
        const bool integer = std::all_of(heading.begin(), heading.end(), isDigit);
        const FieldNumber h = readFieldNumber(heading, decimalComma);
        if (!integer || h.kind != FieldNumber::Number) return false;
        double low = 0, high = 0;
        std::size_t count = 0;
        for (const auto& row : rows) {
            if (c >= row.size()) continue;
            const FieldNumber v = readFieldNumber(row[c], decimalComma);
            if (v.kind != FieldNumber::Number) continue;
            low = count ? std::min(low, v.value) : v.value;
            high = count ? std::max(high, v.value) : v.value;
            ++count;
        }
        // Far outside: beyond the column's own spread from its nearer end.
        const double spread = high - low;
        if (count < 2 || (h.value <= high + spread && h.value >= low - spread)) return false;
    }
    return filled > 0;
}

bool isHeadingRow(const std::vector<std::string_view>& fields, bool decimalComma) {
    std::size_t filled = 0, text = 0;
    for (std::string_view field : fields) {
        if (field.empty()) continue;
        ++filled;
        if (!wholeNumber(normalised(field, decimalComma))) ++text;
    }
    return filled > 0 && text * 2 > filled;
}

std::string spreadsheetCell(std::string_view text) {
    // A sign alone (the report's mark of a missing figure) can begin no formula.
    if (text == "-" || text == "+") return std::string(text);
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        return "'" + std::string(text);
    return std::string(text);
}

std::string numberedHeading(std::size_t column) {
    return "列" + std::to_string(column + 1);
}

std::optional<std::size_t> findColumn(const std::vector<std::string>& headings,
                                      std::string_view nameOrNumber) {
    const bool number = !nameOrNumber.empty() && nameOrNumber.size() <= 9 &&
                        std::all_of(nameOrNumber.begin(), nameOrNumber.end(), isDigit);
    if (number) {
        std::size_t n = std::stoul(std::string(nameOrNumber));
        if (n >= 1 && n <= headings.size()) return n - 1;
        return std::nullopt;
    }
    for (std::size_t c = 0; c < headings.size(); ++c)
        if (headings[c] == nameOrNumber) return c;
    return std::nullopt;
}

}  // namespace kijunchi

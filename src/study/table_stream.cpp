#include "study/table_stream.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "analysis/number_text.h"

namespace kijunchi {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// UTF-8 without an overlong form check: enough to tell it from Shift_JIS. An incomplete
// sequence at the very end (a cut sample) counts as valid.
bool looksLikeUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int more = 0;
        if (c < 0x80)
            more = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else
            return false;
        for (int k = 1; k <= more; ++k) {
            if (i + static_cast<std::size_t>(k) >= s.size()) return true;
            if ((static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80)
                return false;
        }
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

std::string fromShiftJis(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
    std::string out(bytes.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) break;  // cannot happen: three bytes out per byte in suffice
        // A byte that is no Shift_JIS: keep a replacement mark and go on.
        ++in;
        --inLeft;
        if (outLeft >= 3) {
            std::memcpy(outPtr, "\xEF\xBF\xBD", 3);
            outPtr += 3;
            outLeft -= 3;
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::size_t countOutsideQuotes(std::string_view line, char c) {
    std::size_t count = 0;
    bool quoted = false;
    for (char ch : line) {
        if (ch == '"') quoted = !quoted;
        if (!quoted && ch == c) ++count;
    }
    return count;
}

}  // namespace

std::optional<TableStream> TableStream::open(const std::string& path, std::string& problem) {
    TableStream t;
    t.path_ = path;
    t.in_.open(path, std::ios::binary);
    if (!t.in_) {
        problem = "ファイルを読めません: " + path;
        return std::nullopt;
    }
    std::string sample(65536, '\0');
    t.in_.read(sample.data(), static_cast<std::streamsize>(sample.size()));
    sample.resize(static_cast<std::size_t>(t.in_.gcount()));
    if (sample.empty()) {
        problem = "ファイルが空です: " + path;
        return std::nullopt;
    }
    if (sample.find('\0') != std::string::npos) {
        problem = "文字のファイルではありません（UTF-16 や表計算の形式は読めません）: " + path;
        return std::nullopt;
    }
    std::streamoff start = 0;
    if (std::string_view(sample).substr(0, 3) == kBom) start = 3;
    t.shiftJis_ = start == 0 && !looksLikeUtf8(sample);

    // The separator from the first non-blank line: TAB, then ";", then ",".
    std::string_view rest = std::string_view(sample).substr(static_cast<std::size_t>(start));
    std::string_view first;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        first = trimmed(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!first.empty()) break;
    }
    if (countOutsideQuotes(first, '\t') > 0)
        t.separator_ = '\t';
    else if (countOutsideQuotes(first, ';') > 0)
        t.separator_ = ';';
    else
        t.separator_ = ',';
    t.decimalComma_ = t.separator_ == ';' && sample.find(',') != std::string::npos &&
                      sample.find('.') == std::string::npos;

    t.in_.clear();
    t.in_.seekg(start);
    t.dataStart_ = start;
    std::vector<std::string_view> fields;
    const std::streamoff rowStart = start;
    if (!t.nextRow(fields)) {
        problem = "ファイルにデータがありません: " + path;
        return std::nullopt;
    }
    const bool heading = std::any_of(fields.begin(), fields.end(), [&](std::string_view f) {
        return !trimmed(f).empty() && !t.number(f);
    });
    if (heading) {
        for (auto f : fields) t.headings_.push_back(t.text(f));
        t.dataStart_ = t.in_.tellg();
    } else {
        t.dataStart_ = rowStart;
    }
    for (std::size_t i = 0; i < t.headings_.size(); ++i)
        if (t.headings_[i].empty()) t.headings_[i] = "列" + std::to_string(i + 1);
    // Rows may be longer than the heading row: their columns get numbered names.
    t.restart();
    while (t.nextRow(fields))
        while (t.headings_.size() < fields.size())
            t.headings_.push_back("列" + std::to_string(t.headings_.size() + 1));
    t.restart();
    return t;
}

void TableStream::restart() {
    in_.clear();
    in_.seekg(dataStart_);
}

bool TableStream::readLine() {
    if (!std::getline(in_, line_)) return false;
    // A quoted field may hold line ends: read on until the quotes balance.
    while (std::count(line_.begin(), line_.end(), '"') % 2 == 1) {
        std::string more;
        if (!std::getline(in_, more)) break;
        line_ += '\n';
        line_ += more;
    }
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    return true;
}

bool TableStream::nextRow(std::vector<std::string_view>& fields) {
    fields.clear();
    unquoted_.clear();
    do {
        if (!readLine()) return false;
    } while (trimmed(line_).empty());
    // Quoted fields are unquoted into their own strings; reserve so that views stay valid.
    unquoted_.reserve(static_cast<std::size_t>(std::count(line_.begin(), line_.end(), '"')) + 1);
    std::string_view rest(line_);
    for (;;) {
        std::string_view field;
        std::string_view lead = rest;
        while (!lead.empty() && (lead.front() == ' ')) lead.remove_prefix(1);
        if (!lead.empty() && lead.front() == '"') {
            std::string value;
            std::size_t i = 1;
            for (; i < lead.size(); ++i) {
                if (lead[i] == '"') {
                    if (i + 1 < lead.size() && lead[i + 1] == '"') {
                        value += '"';
                        ++i;
                        continue;
                    }
                    break;
                }
                value += lead[i];
            }
            unquoted_.push_back(std::move(value));
            field = unquoted_.back();
            const auto sep = lead.find(separator_, std::min(i, lead.size()));
            rest = sep == std::string_view::npos ? std::string_view() : lead.substr(sep + 1);
            fields.push_back(field);
            if (sep == std::string_view::npos) break;
            continue;
        }
        const auto sep = rest.find(separator_);
        fields.push_back(rest.substr(0, sep));
        if (sep == std::string_view::npos) break;
        rest = rest.substr(sep + 1);
    }
    return true;
}

std::optional<double> TableStream::number(std::string_view field) const {
    field = trimmed(field);
    if (field.empty()) return std::nullopt;
    if (decimalComma_ && field.find(',') != std::string_view::npos) {
        std::string copy(field);
        std::replace(copy.begin(), copy.end(), ',', '.');
        return wholeNumber(copy);
    }
    return wholeNumber(field);
}

std::string TableStream::text(std::string_view field) const {
    field = trimmed(field);
    return shiftJis_ ? fromShiftJis(field) : std::string(field);
}

std::optional<std::size_t> TableStream::findColumn(std::string_view nameOrNumber) const {
    for (std::size_t i = 0; i < headings_.size(); ++i)
        if (headings_[i] == nameOrNumber) return i;
    if (auto n = wholeNumber(nameOrNumber)) {
        if (*n >= 1 && *n <= double(headings_.size()) && *n == std::floor(*n))
            return static_cast<std::size_t>(*n) - 1;
    }
    return std::nullopt;
}

}  // namespace kijunchi

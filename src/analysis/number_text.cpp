#include "analysis/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace kijunchi {

std::string numberText(double v) {
    if (v == 0.0) return "0";  // also negative zero
    // The C library's %.15G, but never the locale's decimal comma.
    char buffer[40];
    // A number below the normal range holds fewer than 15 significant digits: the shortest
    // text that reads back as it, so that 5.66E-313 (rounded to 4 figures) does not come out
    // as 5.66000000000307E-313.
    const bool subnormal = std::fabs(v) < std::numeric_limits<double>::min();
    auto [end, error] =
        subnormal
            ? std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific)
            : std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 15);
    if (error != std::errc()) return "0";
    std::string text(buffer, end);
    for (char& c : text) {
        if (c == 'e') c = 'E';
    }
    return text;
}

std::string printedNumber(double v) {
    std::string text(v < 0 ? 0 : 1, ' ');
    text += numberText(v);
    return text;
}

namespace {

bool isDropped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The ASCII meaning of the character at pos and its length in bytes: the full-width digits,
// point, signs and exponent letters that Japanese input methods type (UTF-8), and the minus
// sign U+2212, read as their ASCII forms; every other byte stands for itself.
std::pair<char, std::size_t> characterAt(std::string_view text, std::size_t pos) {
    const char c = text[pos];
    if (pos + 2 < text.size()) {
        const auto b0 = static_cast<unsigned char>(c);
        const auto b1 = static_cast<unsigned char>(text[pos + 1]);
        const auto b2 = static_cast<unsigned char>(text[pos + 2]);
        if (b0 == 0xEF && b1 == 0xBC) {
            if (b2 >= 0x90 && b2 <= 0x99) return {static_cast<char>('0' + (b2 - 0x90)), 3};
            if (b2 == 0x8E) return {'.', 3};
            if (b2 == 0x8B) return {'+', 3};
            if (b2 == 0x8D) return {'-', 3};
            if (b2 == 0xA5) return {'E', 3};
            if (b2 == 0xA4) return {'D', 3};
        }
        if (b0 == 0xEF && b1 == 0xBD) {
            if (b2 == 0x85) return {'e', 3};
            if (b2 == 0x84) return {'d', 3};
        }
        if (b0 == 0xE2 && b1 == 0x88 && b2 == 0x92) return {'-', 3};
    }
    return {c, 1};
}

// The text without the characters the lenient parse drops, so that a character of several
// bytes split by them (a full-width digit with a TAB inside) reads as it does without them.
// Points into keep only when something had to be dropped.
std::string_view withoutDropped(std::string_view text, std::string& keep) {
    // One pass over the text (find_first_of would search the set once per character).
    if (std::none_of(text.begin(), text.end(), isDropped)) return text;
    keep.clear();
    keep.reserve(text.size());
    for (char c : text)
        if (!isDropped(c)) keep.push_back(c);
    return keep;
}

// Reads the characters of a text one by one, full-width forms as their ASCII meaning.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : characterAt(text_, pos_).first; }
    void next() { pos_ += characterAt(text_, pos_).second; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

struct ReadResult {
    bool found = false;     // a number starts at the position
    bool complete = true;   // false when an exponent mark has no digits or the value overflows
    bool overflow = false;  // too large for a double (read as 0)
    double value = 0.0;
};

// Reads a number from the reader's position; the reader stops at the first character that
// does not belong to it.
ReadResult readNumber(Reader& in) {
    ReadResult result;
    if (in.peek() == '&') {
        in.next();
        char kind = in.peek();
        int base = 0;
        if (kind == 'H' || kind == 'h') base = 16;
        if (kind == 'O' || kind == 'o') base = 8;
        if (base == 0) return result;
        in.next();
        double value = 0.0;
        for (;;) {
            char c = in.peek();
            int digit = -1;
            if (isDigit(c)) digit = c - '0';
            if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            if (digit < 0 || digit >= base) break;
            value = value * base + digit;
            result.found = true;
            in.next();
        }
        if (!std::isfinite(value)) {  // too large for a double
            result.complete = false;
            result.overflow = true;
            value = 0.0;
        }
        result.value = value;
        return result;
    }

    // The decimal form is kept as its significant digits and a power of ten, so that any
    // number of leading zeros, digits or exponent digits reads correctly in linear time.
    bool negative = false;
    if (in.peek() == '+' || in.peek() == '-') {
        negative = in.peek() == '-';
        in.next();
    }
    constexpr std::size_t kKeptDigits = 800;  // more than a double's correct rounding needs
    std::string digits;
    std::int64_t power = 0;  // value = digits × 10^power
    bool droppedNonZero = false;
    auto takeDigit = [&](char c, bool fraction) {
        result.found = true;
        if (digits.empty() && c == '0') {
            if (fraction) --power;
        } else if (digits.size() < kKeptDigits) {
            digits.push_back(c);
            if (fraction) --power;
        } else {
            if (!fraction) ++power;
            if (c != '0') droppedNonZero = true;
        }
    };
    while (isDigit(in.peek())) {
        takeDigit(in.peek(), false);
        in.next();
    }
    if (in.peek() == '.') {
        in.next();
        while (isDigit(in.peek())) {
            takeDigit(in.peek(), true);
            in.next();
        }
    }
    if (!result.found) return result;
    char e = in.peek();
    if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
        in.next();
        bool negativeExponent = false;
        if (in.peek() == '+' || in.peek() == '-') {
            negativeExponent = in.peek() == '-';
            in.next();
        }
        if (isDigit(in.peek())) {
            constexpr std::int64_t kLimit = std::int64_t{1} << 40;
            std::int64_t exponent = 0;
            while (isDigit(in.peek())) {
                if (exponent < kLimit) exponent = exponent * 10 + (in.peek() - '0');
                in.next();
            }
            power += negativeExponent ? -exponent : exponent;
        } else {
            result.complete = false;  // an exponent mark without digits
        }
    }
    if (digits.empty()) return result;  // zero
    if (droppedNonZero) {
        // Only the position of a dropped non-zero digit matters for the rounding.
        digits.push_back('1');
        --power;
    }
    const auto magnitude = power + static_cast<std::int64_t>(digits.size());  // decimal places
    if (magnitude > 310) {  // too large for a double
        result.complete = false;
        result.overflow = true;
        return result;
    }
    if (magnitude < -330) return result;  // underflows to zero
    std::string number;
    number.reserve(digits.size() + 24);
    if (negative) number.push_back('-');
    number.append(digits).push_back('e');
    number.append(std::to_string(power));
    double value = 0.0;
    const char* last = number.data() + number.size();
    auto [end, error] = std::from_chars(number.data(), last, value);
    if (error == std::errc::result_out_of_range) {
        // Underflow reads as 0; overflow is too large for a double.
        if (magnitude > 0) {
            result.complete = false;
            result.overflow = true;
        }
        value = 0.0;
    } else if (error != std::errc() || end != last || !std::isfinite(value)) {
        result.complete = false;
        result.overflow = true;
        value = 0.0;
    }
    result.value = value;
    return result;
}

}  // namespace

double lenientNumber(std::string_view text) {
    std::string keep;
    Reader in(withoutDropped(text, keep));
    return readNumber(in).value;
}

bool hasLeadingNumber(std::string_view text) {
    if (!text.empty() && isDigit(text.front())) return true;  // the common case, at once
    std::string keep;
    Reader in(withoutDropped(text, keep));
    if (in.peek() == '&') {
        in.next();
        const char kind = in.peek();
        const bool hex = kind == 'H' || kind == 'h';
        if (!hex && kind != 'O' && kind != 'o') return false;
        in.next();
        const char c = in.peek();
        if (hex) return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        return c >= '0' && c <= '7';
    }
    if (in.peek() == '+' || in.peek() == '-') in.next();
    if (isDigit(in.peek())) return true;
    if (in.peek() != '.') return false;
    in.next();
    return isDigit(in.peek());
}

std::optional<double> leadingNumber(std::string_view text) {
    std::string keep;
    Reader in(withoutDropped(text, keep));
    const ReadResult result = readNumber(in);
    if (!result.found) return std::nullopt;
    return result.value;
}

std::optional<LeadingNumber> readLeadingNumber(std::string_view text) {
    std::string keep;
    Reader in(withoutDropped(text, keep));
    const ReadResult result = readNumber(in);
    if (!result.found) return std::nullopt;
    return LeadingNumber{result.value, result.overflow};
}

std::optional<double> wholeNumber(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    Reader in(text);
    ReadResult result = readNumber(in);
    if (!result.found || !result.complete || !in.atEnd()) return std::nullopt;
    return result.value;
}

}  // namespace kijunchi

#include "analysis/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kijunchi {

std::string numberText(double v) {
    if (v == 0.0) return "0";  // also negative zero
    char buffer[40];
    int length = std::snprintf(buffer, sizeof buffer, "%.15G", v);
    return std::string(buffer, static_cast<std::size_t>(length));
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

// Reads characters of a text while skipping the ones the lenient parse drops.
class Reader {
public:
    Reader(std::string_view text, bool dropBlanks) : text_(text), drop_(dropBlanks) { skip(); }
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void next() {
        ++pos_;
        skip();
    }

private:
    void skip() {
        if (!drop_) return;
        while (pos_ < text_.size() && isDropped(text_[pos_])) ++pos_;
    }
    std::string_view text_;
    std::size_t pos_ = 0;
    bool drop_;
};

struct ReadResult {
    bool found = false;    // a number starts at the position
    bool complete = true;  // false when an exponent mark has no digits or the value overflows
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
            value = 0.0;
        }
        result.value = value;
        return result;
    }

    std::string number;
    number.reserve(32);
    if (in.peek() == '+' || in.peek() == '-') {
        if (in.peek() == '-') number.push_back('-');
        in.next();
    }
    while (isDigit(in.peek())) {
        number.push_back(in.peek());
        result.found = true;
        in.next();
    }
    if (in.peek() == '.') {
        number.push_back('.');
        in.next();
        while (isDigit(in.peek())) {
            number.push_back(in.peek());
            result.found = true;
            in.next();
        }
    }
    if (!result.found) return result;
    char e = in.peek();
    if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
        in.next();
        bool negative = false;
        if (in.peek() == '+' || in.peek() == '-') {
            negative = in.peek() == '-';
            in.next();
        }
        if (isDigit(in.peek())) {
            long exponent = 0;
            while (isDigit(in.peek())) {
                if (exponent < 100000) exponent = exponent * 10 + (in.peek() - '0');
                in.next();
            }
            number.push_back('e');
            if (negative) number.push_back('-');
            number += std::to_string(exponent);
        } else {
            result.complete = false;  // an exponent mark without digits
        }
    }
    double value = 0.0;
    const char* last = number.data() + number.size();
    auto [end, error] = std::from_chars(number.data(), last, value);
    if (error == std::errc::result_out_of_range) {
        // Underflow reads as 0; overflow is too large for a double.
        bool tiny = number.find("e-") != std::string::npos;
        if (!tiny) result.complete = false;
        value = 0.0;
    } else if (error != std::errc() || end != last || !std::isfinite(value)) {
        result.complete = false;
        value = 0.0;
    }
    result.value = value;
    return result;
}

}  // namespace

double lenientNumber(std::string_view text) {
    Reader in(text, true);
    return readNumber(in).value;
}

std::optional<double> wholeNumber(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    Reader in(text, false);
    ReadResult result = readNumber(in);
    if (!result.found || !result.complete || !in.atEnd()) return std::nullopt;
    return result.value;
}

}  // namespace kijunchi

// The lenient number parse, the whole-number reading and the general number text on arbitrary
// bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/number_text.h"
#include "fuzz_checks.h"

using namespace kijunchi;
using namespace kijunchi::fuzz;

namespace {

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string describe(std::string_view text, double expected, double got) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, " expected %.17g got %.17g", expected, got);
    return escaped(text) + numbers;
}

std::uint32_t mix(std::string_view text) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return h;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A plain decimal number: sign, digits with at most one point, and an exponent of at most six
// digits introduced by E or D.
struct PlainNumber {
    std::string sign, whole, fraction;
    long long exponent = 0;
};

std::optional<PlainNumber> plainNumber(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    PlainNumber p;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) p.sign = t[i++] == '-' ? "-" : "";
    while (i < t.size() && isDigit(t[i])) p.whole += t[i++];
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && isDigit(t[i])) p.fraction += t[i++];
    }
    if (p.whole.empty() && p.fraction.empty()) return std::nullopt;
    if (i < t.size() && std::strchr("EeDd", t[i]) != nullptr) {
        ++i;
        bool negative = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
        const std::size_t start = i;
        while (i < t.size() && isDigit(t[i])) {
            if (i - start == 6) return std::nullopt;
            p.exponent = p.exponent * 10 + (t[i++] - '0');
        }
        if (i == start) return std::nullopt;
        if (negative) p.exponent = -p.exponent;
    }
    if (i != t.size()) return std::nullopt;
    return p;
}

// The same decimal value written with the point moved: k zeros before the digits, and the
// digits followed by k zeros, each with the exponent adjusted.
void checkShiftedForms(std::string_view text, double value) {
    const auto p = plainNumber(text);
    if (!p) return;
    const std::uint32_t h = mix(text);
    // Mostly a few zeros; now and then enough to push the exponent past six or seven digits.
    std::size_t k = h % 400;
    if (h % 16 == 0) k = 100000 + h % 150000;
    if (h % 256 == 0) k = 1000000 + h % 100000;
    const std::string digits = p->whole + p->fraction;

    std::string left = p->sign + "0." + std::string(k, '0') + digits + "E";
    left += std::to_string(p->exponent + static_cast<long long>(k + p->whole.size()));
    const double leftValue = lenientNumber(left);
    if (!sameBits(leftValue, value))
        fail("a number with its point moved left (zeros added) reads a different value",
             describe(text, value, leftValue) + " k=" + std::to_string(k));

    std::string right = p->sign + digits + std::string(k, '0') + "E";
    right += std::to_string(p->exponent - static_cast<long long>(k + p->fraction.size()));
    const double rightValue = lenientNumber(right);
    if (!sameBits(rightValue, value))
        fail("a number with its point moved right (zeros added) reads a different value",
             describe(text, value, rightValue) + " k=" + std::to_string(k));
}

void checkNumberText(double v) {
    const std::string text = numberText(v);
    requireCleanText(text, "the general number text of a finite value shows nan/inf");
    // From here up, 15 digits round to 1.79769313486232E+308, beyond the largest double.
    if (std::fabs(v) >= 1.797693134862315e308) return;
    const auto back = wholeNumber(text);
    if (!back) fail("the general number text does not read back as a whole number", text);
    if (numberText(*back) != text)
        fail("the general number text is not stable when read back",
             text + " -> " + numberText(*back));
    if (std::fabs(*back - v) > 1e-14 * std::fabs(v))
        fail("the general number text loses more than 15 significant digits",
             describe(text, v, *back));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const double value = lenientNumber(text);
    requireFinite(value, "lenientNumber gave a non-finite value");

    // Blanks, TABs and line feeds are dropped wherever they stand.
    std::string packed;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') packed += c;
    const double packedValue = lenientNumber(packed);
    if (!sameBits(packedValue, value))
        fail("removing blanks, TABs and line feeds changes the lenient value",
             describe(text, value, packedValue));
    std::string spread = packed;
    const std::uint32_t h = mix(text);
    spread.insert(h % (spread.size() + 1), 1, " \t\n"[h % 3]);
    const double spreadValue = lenientNumber(spread);
    if (!sameBits(spreadValue, value))
        fail("inserting a blank, TAB or line feed changes the lenient value",
             describe(spread, value, spreadValue));

    // Reading stops at the first character that cannot continue a number.
    const std::string stopped = std::string(text) + "#" + std::string(text);
    const double stoppedValue = lenientNumber(stopped);
    if (!sameBits(stoppedValue, value))
        fail("text after a character that ends the number changes the lenient value",
             describe(stopped, value, stoppedValue));

    const auto whole = wholeNumber(text);
    if (whole) {
        requireFinite(*whole, "wholeNumber gave a non-finite value");
        if (*whole != value)
            fail("wholeNumber and lenientNumber disagree on a whole number",
                 describe(text, *whole, value));
        checkShiftedForms(text, value);
    }

    // A field without a leading number is told apart from one that reads as 0.
    const auto leading = leadingNumber(text);
    require(hasLeadingNumber(text) == leading.has_value(),
            "hasLeadingNumber and leadingNumber disagree", escaped(text));
    if (!sameBits(leading.value_or(0.0), value))
        fail("leadingNumber and lenientNumber disagree",
             describe(text, leading.value_or(0.0), value));

    // The full-width digits, point, signs and exponent letters read as their ASCII forms.
    if (text.find('&') == std::string_view::npos) {
        std::string wide;
        for (char c : text) {
            if (c >= '0' && c <= '9') {
                wide += "\xEF\xBC";
                wide += static_cast<char>(0x90 + (c - '0'));
            } else if (c == '.') {
                wide += "\xEF\xBC\x8E";
            } else if (c == '+') {
                wide += "\xEF\xBC\x8B";
            } else if (c == '-') {
                wide += h % 2 ? "\xEF\xBC\x8D" : "\xE2\x88\x92";
            } else if (c == 'E' || c == 'D') {
                wide += c == 'E' ? "\xEF\xBC\xA5" : "\xEF\xBC\xA4";
            } else if (c == 'e' || c == 'd') {
                wide += c == 'e' ? "\xEF\xBD\x85" : "\xEF\xBD\x84";
            } else {
                wide += c;
            }
        }
        const double wideValue = lenientNumber(wide);
        if (!sameBits(wideValue, value))
            fail("the full-width form reads a different value", describe(wide, value, wideValue));
    }

    checkNumberText(value);
    if (whole) checkNumberText(*whole);
    return 0;
}

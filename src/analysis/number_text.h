#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace kijunchi {

// General number text: shortest decimal form with up to 15 significant digits, "." as the
// decimal point, exponent form (1E-05, 1.619E+17) outside 1E-4 .. 1E15, negative zero as 0.
std::string numberText(double v);

// A number as a picture area prints it: general number text with a blank in place of the sign
// of a number that is not negative.
std::string printedNumber(double v);

// Lenient number parse: never fails. Blanks, TABs and line feeds are dropped wherever they
// stand, then the longest leading number is read (sign, digits with one ".", exponent with E
// or D, or &H / &O integers); no leading number, or one too large for a double, gives 0.
// The full-width digits, point, signs and exponent letters (and the minus sign U+2212) read as
// their ASCII forms.
double lenientNumber(std::string_view text);

// The same reading, but nullopt when the text has no leading number at all (a heading, a note,
// blanks); a text that begins with a number gives what lenientNumber gives ("1E999" is 0).
std::optional<double> leadingNumber(std::string_view text);

// leadingNumber, telling also whether the number was too large for a double (and read as 0).
struct LeadingNumber {
    double value = 0.0;
    bool overflow = false;
};
std::optional<LeadingNumber> readLeadingNumber(std::string_view text);

// Whether leadingNumber finds a number, without reading it.
bool hasLeadingNumber(std::string_view text);

// A text that is a number as a whole (blanks and TABs around it allowed), in the grammar of
// the lenient parse; nullopt for anything else, including an empty text or an overflow.
std::optional<double> wholeNumber(std::string_view text);

}  // namespace kijunchi

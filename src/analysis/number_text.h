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
double lenientNumber(std::string_view text);

// The lenient parse for a field that may hold no number at all: nullopt when no number
// starts the text (after the dropped blanks), else the value the lenient parse gives.
std::optional<double> leadingNumber(std::string_view text);

// A text that is a number as a whole (blanks and TABs around it allowed), in the grammar of
// the lenient parse; nullopt for anything else, including an empty text or an overflow.
std::optional<double> wholeNumber(std::string_view text);

}  // namespace kijunchi

#pragma once

namespace kijunchi {

// Rounds to the given number of significant digits (the program always uses 4): the decimals
// come from the decade of the value, the rounding itself is RoundDecimal's.
double SigRound(double v, int figures = 4);

}  // namespace kijunchi

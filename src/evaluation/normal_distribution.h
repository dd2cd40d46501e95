#pragma once
// The standard normal distribution to full double precision (the statistics report keeps its
// own shorter approximation, which its texts depend on).

namespace kijunchi {

// Φ(z), from the complementary error function.
double normalLowerTail(double z);

// ln Φ(z), finite far into the lower tail where Φ(z) itself underflows.
double logNormalLowerTail(double z);

// Φ⁻¹(p) for 0 < p < 1.
double normalQuantile(double p);

}  // namespace kijunchi

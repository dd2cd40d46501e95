#include "generators/random_source.h"

#include <chrono>
#include <cmath>

namespace kijunchi {

float RandomSource::uniform() {
    // The top 24 bits of the engine's word fill a float's mantissa exactly, so the result is
    // one of the 2^24 multiples of 2^-24 below 1 and can never round up to 1.
    const std::uint32_t top = engine_() >> 8;
    return static_cast<float>(top) * (1.0f / 16777216.0f);
}

void RandomSource::reseedFromClock() {
    const std::uint64_t ticks =
        clock_ ? clock_()
               : static_cast<std::uint64_t>(
                     std::chrono::system_clock::now().time_since_epoch().count());
    // Fold the high half in so that two seeds taken a few seconds apart differ in many bits.
    engine_.seed(static_cast<std::uint32_t>(ticks ^ (ticks >> 32)));
}

float RandomSource::nrnd() {
    if (pending_ == 1) {
        pending_ = 0;
        return static_cast<float>(static_cast<double>(radius_) *
                                  std::sin(static_cast<double>(angle_)));
    }
    pending_ = 1;
    const float u1 = uniform();
    radius_ = static_cast<float>(std::sqrt(-2.0 * std::log(1.0 - static_cast<double>(u1))));
    const float u2 = uniform();
    angle_ = static_cast<float>(static_cast<double>(u2) * 6.28318530717958);
    return static_cast<float>(static_cast<double>(radius_) * std::cos(static_cast<double>(angle_)));
}

}  // namespace kijunchi

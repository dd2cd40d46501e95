#pragma once
// The process-wide uniform source and the normal deviate routine, with their state. One
// object, owned by the application like the store.
#include <cstdint>
#include <functional>
#include <random>
#include <utility>

namespace kijunchi {

class RandomSource {
public:
    static constexpr std::uint32_t kInitialSeed = 5489u;

    // A single-precision value in [0, 1), never 1.
    float uniform();
    // Reseeds from the system clock.
    void reseedFromClock();
    // The clock reseedFromClock reads (ticks of the system clock by default); a test fixes it
    // to make a generator run repeatable.
    void setClock(std::function<std::uint64_t()> clock) { clock_ = std::move(clock); }
    void reseed(std::uint32_t seed) { engine_.seed(seed); }

    // nrnd: one standard normal deviate by Box-Muller, keeping the sine partner of each pair
    // for the next call.
    float nrnd();

private:
    std::mt19937 engine_{kInitialSeed};
    std::function<std::uint64_t()> clock_;
    short pending_ = 0;
    float radius_ = 0.0f;
    float angle_ = 0.0f;
};

}  // namespace kijunchi

#pragma once
// The random source of the statistics (the bootstrap): xoshiro256** seeded through splitmix64,
// in numbered streams of one seed, so that resamples shared out among threads draw the same
// values on any machine. (The generators' uniform source, reseeded from the clock, is
// generators/random_source.h.)
#include <cstdint>

namespace kijunchi {

// xoshiro256** seeded through splitmix64, handing out 32-bit halves.
class RandomStream {
public:
    explicit RandomStream(std::uint64_t seed) {
        for (auto& s : state_) {
            seed += 0x9E3779B97F4A7C15ULL;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            s = z ^ (z >> 31);
        }
    }
    // The generator of stream number `stream` of a seed: its own seed mixed from both.
    static RandomStream stream(std::uint64_t seed, std::uint64_t stream) {
        std::uint64_t z = seed + (stream + 1) * 0x9E3779B97F4A7C15ULL;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return RandomStream(z ^ (z >> 31));
    }
    std::uint32_t next32() {
        if (spare_) {
            spare_ = false;
            return static_cast<std::uint32_t>(saved_ >> 32);
        }
        saved_ = next64();
        spare_ = true;
        return static_cast<std::uint32_t>(saved_);
    }
    // Uniform in 0 .. range - 1 without bias (multiply and reject).
    std::uint32_t below(std::uint32_t range) {
        std::uint64_t product = static_cast<std::uint64_t>(next32()) * range;
        auto low = static_cast<std::uint32_t>(product);
        if (low < range) {
            const std::uint32_t threshold = (0u - range) % range;
            while (low < threshold) {
                product = static_cast<std::uint64_t>(next32()) * range;
                low = static_cast<std::uint32_t>(product);
            }
        }
        return static_cast<std::uint32_t>(product >> 32);
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t next64() {
        const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }
    std::uint64_t state_[4]{};
    std::uint64_t saved_ = 0;
    bool spare_ = false;
};

}  // namespace kijunchi

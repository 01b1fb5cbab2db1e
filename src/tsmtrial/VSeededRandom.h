// A small seeded random number source whose sequence is fixed by its seed alone, on every
// platform and library, so generated trials come out byte for byte the same.
#pragma once

#include <cstdint>

/// SplitMix64: 64-bit state, one multiply-xorshift mix per number. The standard library's
/// distributions may differ between implementations; these helpers do not. A value type.
class VSeededRandom
{
public:
    explicit VSeededRandom(std::uint64_t seed) : m_State(seed) {}

    /// A seed for an independent stream derived from `seed` and a stream number, so that
    /// adding cameras does not move the markers and so on.
    static std::uint64_t Derive(std::uint64_t seed, std::uint64_t stream)
    {
        return Mix(seed ^ Mix(stream + 0x632BE59BD9B4E019ull));
    }

    /// The mixing function on its own: a well-spread hash of `value`.
    static std::uint64_t Mix(std::uint64_t value)
    {
        value += 0x9E3779B97F4A7C15ull;
        value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
        value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
        return value ^ (value >> 31);
    }

    std::uint64_t Next()
    {
        const std::uint64_t value = Mix(m_State);
        m_State += 0x9E3779B97F4A7C15ull;
        return value;
    }

    /// Uniform in [0, 1), from the top 53 bits.
    double NextUnit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

    /// Uniform in [low, high).
    double Uniform(double low, double high) { return low + (high - low) * NextUnit(); }

private:
    std::uint64_t m_State;
};

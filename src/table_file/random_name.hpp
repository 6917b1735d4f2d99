// Names no one can take ahead of the run: each made of 64 random bits.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <random>

// Calls `make` with fresh random bits, to make a file of a name built of
// them, until it makes one whose name was not taken (`taken`: what `make`
// returns then), a few times at most, as a name taken by chance is all but
// impossible. Returns what `make` last returned, or `no_randomness` where
// the system has no source of randomness.
template <class Result, class Make>
Result make_with_random_name(Make make, Result taken, Result no_randomness)
{
    constexpr int attempts = 16;
    Result result = taken;
    for (int attempt = 0; attempt < attempts && result == taken; ++attempt) {
        std::uint64_t bits = 0;
        try {
            std::random_device random;
            bits = std::uint64_t{random()} << 32 | random();
        } catch (const std::bad_alloc&) {
            throw;  // out of memory, told as such
        } catch (const std::exception&) {
            return no_randomness;
        }
        result = make(bits);
    }
    return result;
}

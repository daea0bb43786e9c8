#include "utils/random.h"

// Any fixed start will do; the game never seeds, so every run plays the same
// sequence unless a caller asks otherwise.
std::uint32_t RandomGenerator::state = 1;

void RandomGenerator::seed(std::uint32_t value) {
    state = value;
}

std::uint32_t RandomGenerator::next() {
    // A 32-bit linear congruential step (Numerical Recipes constants). Its low
    // bits have short periods, so the value is taken from the top 15 bits.
    state = state * 1664525u + 1013904223u;
    return state >> 17;
}

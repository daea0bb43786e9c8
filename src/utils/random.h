#pragma once
// The game's one source of randomness: a process-wide uniform integer
// generator over 0 .. 32767, shared by respawn points, AI patrol points and
// particles. Main thread only. Tests seed it to replay a sequence.
#include <cstdint>

class RandomGenerator {
  public:
    // Largest value next() yields.
    static constexpr std::uint32_t kMax = 32767;

    // Restarts the sequence; the same seed gives the same values.
    static void seed(std::uint32_t value);
    // The next value, uniform over 0 .. kMax.
    static std::uint32_t next();
    // next() / kMax: uniform over [0, 1], both ends included.
    static float unit() { return static_cast<float>(next()) / static_cast<float>(kMax); }
    // a + (b - a) * unit(): a value between a and b (either may be larger).
    static float between(float a, float b) { return a + (b - a) * unit(); }

  private:
    static std::uint32_t state;
};

#pragma once
// The two sides of a match. Stored in components and used as map keys, so it
// stays an 8-bit value.
#include <cstdint>

enum Team : uint8_t { Blue = 0, Red = 1 };

#pragma once
// Conversion of the decimals the text formats write (an optional sign,
// digits, optionally "." and more digits; no exponent) to 32-bit floats.
#include <string>

// Answers false when text is not such a decimal or its value lies beyond
// the float range; a value too small for a float becomes 0. On success sets
// value.
bool decimalToFloat(const std::string& text, float& value);

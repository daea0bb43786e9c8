#include "io/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

bool decimalToFloat(const std::string& text, float& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    double sign = 1.0;
    if (first != last && (*first == '+' || *first == '-')) {
        sign = *first == '-' ? -1.0 : 1.0;
        ++first;
    }
    if (first == last || !std::isdigit(static_cast<unsigned char>(*first))) {
        return false;
    }
    double magnitude = 0.0;
    const auto result = std::from_chars(first, last, magnitude, std::chars_format::fixed);
    if (result.ptr != last) {
        return false;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Either beyond the double range or below its smallest step: only
        // digits before the point that are not all zero make it large.
        const char* point = std::find(first, last, '.');
        if (std::any_of(first, point, [](char c) { return c != '0'; })) {
            return false;
        }
        magnitude = 0.0;
    } else if (result.ec != std::errc()) {
        return false;
    }
    if (!(magnitude <= static_cast<double>(std::numeric_limits<float>::max()))) {
        return false;
    }
    value = static_cast<float>(sign * magnitude);
    return true;
}

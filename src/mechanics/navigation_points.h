#pragma once
// Point tests the navigation mesh's loader, ground queries and path search
// share.
#include <cmath>
#include <glm/vec3.hpp>

namespace navigation {
// Exact equality of every coordinate (no tolerance).
inline bool samePoint(const glm::vec3& a, const glm::vec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

inline bool finite(const glm::vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
}  // namespace navigation

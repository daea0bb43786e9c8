#pragma once
// Writes ".nav" files, the inverse of loadNavigationMesh: for the content
// baker and for tests that need a mesh on disk.
#include <array>
#include <cstdint>
#include <glm/vec3.hpp>
#include <string>
#include <vector>

enum class NavigationWrite {
    // Writes the file and logs a debug record.
    always,
    // Leaves a file that already holds exactly these bytes alone (its time
    // too) and logs nothing but errors: for the content baker.
    ifChanged,
};

// Writes vertices given in game coordinates (y up) as file points (x, -z, y)
// and quads of 0-based vertex indices as 1-based ones, little-endian. The
// corners keep their order: wind them so that (c1 - c0) x (c2 - c0) points
// to +y, or rays from above miss the quad. Answers false, with an error
// record, when an index is out of range or the file cannot be written.
bool writeNavigationMesh(const std::string& path, const std::vector<glm::vec3>& vertices,
                         const std::vector<std::array<std::uint32_t, 4>>& quads,
                         NavigationWrite mode = NavigationWrite::always);

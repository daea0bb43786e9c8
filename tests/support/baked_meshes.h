#pragma once
// Readers for the baked collision and navigation binaries, for tests that
// check the content. They convert to game coordinates (Z-up file points
// (x, y, z) become (x, z, -y)) and to 0-based indices, and refuse files whose
// counts do not match their length or whose indices are out of range.
#include <array>
#include <cstdint>
#include <glm/glm.hpp>
#include <string>
#include <vector>

struct BakedTriangleMesh {
    std::vector<glm::vec3> vertices;
    std::vector<std::array<uint32_t, 3>> triangles;
};

struct BakedNavigationMesh {
    std::vector<glm::vec3> vertices;
    std::vector<std::array<uint32_t, 4>> quads;
};

bool readBakedTriangleMesh(const std::string& path, BakedTriangleMesh& mesh);
bool readBakedNavigationMesh(const std::string& path, BakedNavigationMesh& mesh);

// The number of groups of triangles linked by shared vertex indices: the
// number of collision hulls a mesh loader makes of the mesh.
std::size_t countVertexConnectedParts(const std::vector<std::array<uint32_t, 3>>& triangles,
                                      std::size_t vertexCount);

// Every byte of a file; empty when it cannot be read.
std::vector<unsigned char> fileBytes(const std::string& path);

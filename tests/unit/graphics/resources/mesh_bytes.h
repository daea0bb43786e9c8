#pragma once
// Hand-made binary mesh and skeleton files for the loader tests: values go
// in exactly as the files hold them (little-endian, z-up axes, no exchange).
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

struct MeshBytes {
    std::vector<unsigned char> data;

    MeshBytes& u32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            data.push_back(static_cast<unsigned char>(value >> shift));
        }
        return *this;
    }
    MeshBytes& f32(float value) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return u32(bits);
    }
    MeshBytes& floats(std::initializer_list<float> values) {
        for (const float value : values) {
            f32(value);
        }
        return *this;
    }
    // NUL-terminated.
    MeshBytes& text(const std::string& value) {
        data.insert(data.end(), value.begin(), value.end());
        data.push_back(0);
        return *this;
    }
    // The 14 floats every vertex record starts with.
    MeshBytes& surface(std::initializer_list<float> position, std::initializer_list<float> normal,
                       std::initializer_list<float> texCoord, std::initializer_list<float> tangent,
                       std::initializer_list<float> bitangent) {
        return floats(position).floats(normal).floats(texCoord).floats(tangent).floats(bitangent);
    }
    // A flat vertex at (x, y, 0) facing the file's +z, tangent +x.
    MeshBytes& flatVertex(float x, float y) {
        return surface({x, y, 0}, {0, 0, 1}, {x, y}, {1, 0, 0}, {0, 1, 0});
    }
    MeshBytes& triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) { return u32(a).u32(b).u32(c); }
};

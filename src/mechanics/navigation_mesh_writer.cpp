#include "mechanics/navigation_mesh_writer.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "utils/log.h"

namespace {
void putU32(std::string& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<char>((value >> shift) & 0xffu));
    }
}

void putF32(std::string& bytes, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32(bytes, bits);
}
}  // namespace

bool writeNavigationMesh(const std::string& path, const std::vector<glm::vec3>& vertices,
                         const std::vector<std::array<std::uint32_t, 4>>& quads, NavigationWrite mode) {
    std::string bytes;
    bytes.reserve(8 + vertices.size() * 12 + quads.size() * 16);
    putU32(bytes, static_cast<std::uint32_t>(vertices.size()));
    putU32(bytes, static_cast<std::uint32_t>(quads.size()));
    for (const glm::vec3& v : vertices) {
        putF32(bytes, v.x);
        putF32(bytes, 0.0f - v.z);  // no negative zeros in the files
        putF32(bytes, v.y);
    }
    for (std::size_t q = 0; q < quads.size(); ++q) {
        for (const std::uint32_t index : quads[q]) {
            if (index >= vertices.size()) {
                LOG(error) << "Navigation quadrilateral " << q << " refers to vertex " << index << " of "
                           << vertices.size() << " for \"" << path << "\"!";
                return false;
            }
            putU32(bytes, index + 1);
        }
    }
    if (mode == NavigationWrite::ifChanged) {
        std::ifstream existing(path, std::ios::binary);
        if (existing && std::string(std::istreambuf_iterator<char>(existing),
                                    std::istreambuf_iterator<char>()) == bytes) {
            return true;
        }
    }
    std::ofstream out(path, std::ios::out | std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        LOG(error) << "Could not write navigation mesh to \"" << path << "\"!";
        return false;
    }
    if (mode == NavigationWrite::ifChanged) {
        return true;
    }
    LOG(debug) << "Wrote navigation mesh [" << path << "] with " << vertices.size() << " vertices and "
               << quads.size() << " quadrilaterals...";
    return true;
}

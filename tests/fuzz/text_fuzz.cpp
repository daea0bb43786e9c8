// The text formats: data files (with every typed read), levels, volumes,
// materials, shader program and mesh definitions.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_target.h"
#include "game/level.h"
#include "graphics/resources/material.h"
#include "graphics/resources/mesh_definition.h"
#include "graphics/resources/shader_program.h"
#include "io/data_manager.h"
#include "mechanics/volume_manager.h"

namespace {
std::string text(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}
}  // namespace

FLAGSTORM_FUZZ_TARGET(data_file) {
    fuzz::quietLogging();
    DataManager& manager = DataManager::instance();
    manager.clear();
    manager.parse(text(data, size), "fuzz.dat");
    for (const auto& entry : manager.all()) {
        const std::string& key = entry.first;
        try {
            DataManager::getValue<float>(key);
        } catch (const DataValueError&) {
        }
        try {
            DataManager::getValue<std::uint16_t>(key);
        } catch (const DataValueError&) {
        }
        try {
            DataManager::getValue<bool>(key);
        } catch (const DataValueError&) {
        }
        try {
            DataManager::getVec3(key);
        } catch (const DataValueError&) {
        }
    }
    return 0;
}

FLAGSTORM_FUZZ_TARGET(level) {
    fuzz::quietLogging();
    parseLevel(text(data, size), "fuzz.lvl");
    return 0;
}

FLAGSTORM_FUZZ_TARGET(volumes) {
    fuzz::quietLogging();
    CollisionVolumeManager manager;
    manager.parse(text(data, size), "/nonexistent/fuzz.volumes");
    return 0;
}

FLAGSTORM_FUZZ_TARGET(material) {
    fuzz::quietLogging();
    std::string name;
    Material::parse(text(data, size), "fuzz.mtl", name);
    return 0;
}

FLAGSTORM_FUZZ_TARGET(shader_definitions) {
    fuzz::quietLogging();
    parseShaderProgramDefinitions(text(data, size), "fuzz.spd", [](const ShaderProgramDefinition&) {});
    return 0;
}

FLAGSTORM_FUZZ_TARGET(mesh_definitions) {
    fuzz::quietLogging();
    parseMeshDefinitions(text(data, size), "fuzz.mshd", [](const MeshDefinition&) {});
    return 0;
}

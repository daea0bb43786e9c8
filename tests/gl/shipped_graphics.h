#pragma once
// The game's materials, shader programs, meshes and textures, loaded into the
// test program's context as start-up loads them, and released again.
#include "graphics/resources/material.h"
#include "graphics/resources/mesh.h"
#include "graphics/resources/shader_program.h"
#include "graphics/resources/texture.h"

namespace shipped_graphics {

inline void release() {
    MaterialManager::instance().clear();
    ShaderProgramManager::instance().clear();
    MeshManager::instance().clear();
    TextureManager::instance().clear();
}

// Starts from empty registries, so what a test finds is the shipped content.
inline void load() {
    release();
    MaterialManager::instance().loadDirectory("resources/materials/", ".mtl", true);
    ShaderProgramManager::instance().loadDirectory("resources/shaders/", ".spd", true);
    MeshManager::instance().loadDirectory("resources/meshes/", ".mshd", true);
    TextureManager::instance().loadDirectory("resources/textures/", "", true);
}

}  // namespace shipped_graphics

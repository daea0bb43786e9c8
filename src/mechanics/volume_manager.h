#pragma once
// The registry of named collision volume lists. ".volumes" files name binary
// triangle meshes; each mesh is cut into its vertex-connected parts and every
// part becomes one convex hull. Lists are immutable once stored: entities
// receive copies (attachVolumes) and transform only those.
#include <array>
#include <cstdint>
#include <glm/vec3.hpp>
#include <optional>
#include <string>
#include <vector>

#include "mechanics/collision_volume.h"
#include "utils/resource_manager.h"
#include "utils/singleton.h"

// A triangle mesh as read from a collision mesh file, in game axes (y up)
// with 0-based indices that are all below vertices.size().
struct TriangleMesh {
    std::vector<glm::vec3> vertices;
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

class CollisionVolumeManager : public ResourceManager<CollisionVolumeList>,
                               public Singleton<CollisionVolumeManager> {
  public:
    // Name of the built-in floor list.
    static constexpr const char* floorName = "Floor";

    // Reads one ".volumes" file and registers one list per entry, named as in
    // the file (a taken name keeps its list). An entry whose mesh file is
    // refused registers nothing.
    void load(const std::string& path) override;

    // The body of load for file text already in memory; path locates the
    // referenced meshes (they are relative to its directory) and names the
    // file in records.
    void parse(const std::string& text, const std::string& path);

    // Appends copies of the list stored under name to volumes, in list order
    // (invalid types skipped silently). An absent name gives the registry's
    // error record and appends nothing. Returns whether the name was found.
    bool attachVolumes(const std::string& name, CollisionVolumeList& volumes) const;

    // Reads a binary triangle mesh: little-endian u32 V, V vertices of three
    // f32 stored Z-up as (x, y, z) and returned as (x, z, -y), u32 T, T
    // triangles of three u32 indices counted from 1. A missing file, a count
    // beyond the bytes left or an index of 0 or above V gives an error record
    // naming the file and no mesh. Bytes after the triangles are ignored.
    static std::optional<TriangleMesh> loadTriangleMesh(const std::string& path);

    // One convex hull per vertex-connected part of mesh, parts in the order of
    // their first triangle. A hull's vertices are the part's vertices in index
    // order; its axes are the distinct oriented face normals in face order.
    // Degenerate triangles (no normal) add their vertices but no axis.
    static CollisionVolumeList buildConvexHulls(const TriangleMesh& mesh);

    // The built-in floor: one box from (-50, -10, -50) to (50, 0, 50).
    static CollisionVolumeList makeFloorVolumes();

    // Stores makeFloorVolumes() under floorName (a taken name keeps its list).
    void addFloorVolumes();

  protected:
    std::string typeName() const override { return "CollisionVolumeList"; }
};

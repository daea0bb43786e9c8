// The binary formats: collision triangle meshes, navigation meshes with the
// queries the game runs on them, static and skeletal meshes.
#include <cstdint>
#include <list>
#include <vector>

#include "fuzz/fuzz_target.h"
#include "graphics/resources/skeletal_mesh.h"
#include "graphics/resources/static_mesh.h"
#include "mechanics/navigation_mesh.h"
#include "mechanics/volume_manager.h"

FLAGSTORM_FUZZ_TARGET(triangle_mesh) {
    fuzz::quietLogging();
    if (auto mesh =
            CollisionVolumeManager::loadTriangleMesh(fuzz::writeScratch("triangles.mesh", data, size))) {
        CollisionVolumeManager::buildConvexHulls(*mesh);
    }
    return 0;
}

FLAGSTORM_FUZZ_TARGET(navigation_mesh) {
    fuzz::quietLogging();
    const auto mesh = loadNavigationMesh(fuzz::writeScratch("ground.nav", data, size));
    if (!mesh || mesh->nodes.empty()) {
        return 0;
    }
    // Ground below the first and last node, a slanted ray, then the path
    // between what was found (or between the two nodes' centers).
    const std::uint32_t last = static_cast<std::uint32_t>(mesh->nodes.size() - 1);
    NavigationLocation from{0, mesh->center(0)};
    NavigationLocation to{last, mesh->center(last)};
    NavigationLocation found;
    if (mesh->locate(from.point, found)) {
        from = found;
    }
    if (mesh->locate(to.point, found)) {
        to = found;
    }
    mesh->raycast(from.point + glm::vec3(0.5f, 10.0f, -0.25f), glm::vec3(0.1f, -1.0f, 0.2f), found);
    mesh->raycast(mesh->vertices.front(), to.point - mesh->vertices.front(), found);
    std::list<glm::vec3> path;
    mesh->findPath(from, to, path);
    return 0;
}

FLAGSTORM_FUZZ_TARGET(static_mesh) {
    fuzz::quietLogging();
    StaticMesh::decode(std::vector<unsigned char>(data, data + size), "fuzz.mesh");
    return 0;
}

FLAGSTORM_FUZZ_TARGET(skeletal_mesh) {
    fuzz::quietLogging();
    if (auto mesh = SkeletalMesh::decode(std::vector<unsigned char>(data, data + size), "fuzz.skel")) {
        // Pose the skeleton at a few points of every animation it names.
        SkeletonPose pose(*mesh->skeleton);
        for (const auto& animation : mesh->skeleton->getAnimations()) {
            for (const float progress : {0.0f, 0.5f, 1.0f}) {
                pose.update(animation.first, progress);
            }
        }
    }
    return 0;
}

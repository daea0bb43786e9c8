#include "mechanics/collision_volume.h"

#include <glm/geometric.hpp>

#include "utils/log.h"

bool isValidVolumeType(CollisionVolumeType type) {
    switch (type) {
        case CollisionVolumeType::AxisAlignedBox:
        case CollisionVolumeType::Sphere:
        case CollisionVolumeType::ConvexHull:
            return true;
    }
    return false;
}

std::unique_ptr<CollisionVolume> cloneVolume(const CollisionVolume& volume) {
    switch (volume.type) {
        case CollisionVolumeType::AxisAlignedBox:
            return std::make_unique<AxisAlignedBox>(static_cast<const AxisAlignedBox&>(volume));
        case CollisionVolumeType::Sphere:
            return std::make_unique<Sphere>(static_cast<const Sphere&>(volume));
        case CollisionVolumeType::ConvexHull:
            return std::make_unique<ConvexHull>(static_cast<const ConvexHull&>(volume));
    }
    return nullptr;
}

void appendVolumeCopies(const CollisionVolumeList& source, CollisionVolumeList& target) {
    for (const auto& volume : source) {
        if (auto copy = cloneVolume(*volume)) {
            target.push_back(std::move(copy));
        }
    }
}

glm::vec3 rotateVector(const glm::quat& q, const glm::vec3& v) {
    const glm::vec3 u(q.x, q.y, q.z);
    const glm::vec3 c = glm::cross(u, v);
    return v + 2.0f * (q.w * c + glm::cross(u, c));
}

bool transformVolume(const CollisionVolume& local, CollisionVolume& world, glm::vec3 p, glm::quat q,
                     glm::vec3 k) {
    if (!isValidVolumeType(local.type)) {
        LOG(error) << "Unrecognized collision volume type";
        return false;
    }
    if (world.type != local.type) {
        LOG(error) << "World collision volume of type " << static_cast<std::uint32_t>(world.type)
                   << " cannot take a volume of type " << static_cast<std::uint32_t>(local.type) << "!";
        return false;
    }
    switch (local.type) {
        case CollisionVolumeType::AxisAlignedBox: {
            const auto& box = static_cast<const AxisAlignedBox&>(local);
            auto& out = static_cast<AxisAlignedBox&>(world);
            out.min = p + k * box.min;
            out.max = p + k * box.max;
            break;
        }
        case CollisionVolumeType::Sphere: {
            const auto& sphere = static_cast<const Sphere&>(local);
            auto& out = static_cast<Sphere&>(world);
            out.center = p + k * sphere.center;
            out.radius = k.x * sphere.radius;
            break;
        }
        case CollisionVolumeType::ConvexHull: {
            const auto& hull = static_cast<const ConvexHull&>(local);
            auto& out = static_cast<ConvexHull&>(world);
            out.vertices.resize(hull.vertices.size());
            for (std::size_t i = 0; i < hull.vertices.size(); ++i) {
                out.vertices[i] = p + rotateVector(q, k * hull.vertices[i]);
            }
            out.axes.resize(hull.axes.size());
            for (std::size_t i = 0; i < hull.axes.size(); ++i) {
                out.axes[i] = rotateVector(q, hull.axes[i]);
            }
            break;
        }
    }
    return true;
}

void transformVolumes(const CollisionVolumeList& local, CollisionVolumeList& world, glm::vec3 p, glm::quat q,
                      glm::vec3 k) {
    if (world.empty()) {
        for (const auto& volume : local) {
            if (auto copy = cloneVolume(*volume)) {
                world.push_back(std::move(copy));
            } else {
                LOG(error) << "Unrecognized collision volume type";
            }
        }
    }
    std::size_t next = 0;
    for (const auto& volume : local) {
        if (!isValidVolumeType(volume->type)) {
            LOG(error) << "Unrecognized collision volume type";
            continue;
        }
        if (next == world.size()) {
            break;
        }
        transformVolume(*volume, *world[next++], p, q, k);
    }
}

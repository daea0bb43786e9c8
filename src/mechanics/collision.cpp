#include "mechanics/collision.h"

#include <cmath>
#include <glm/geometric.hpp>
#include <limits>

#include "utils/log.h"

namespace {
bool boxBox(const AxisAlignedBox& a, const AxisAlignedBox& b) {
    for (int axis = 0; axis < 3; ++axis) {
        if (!(a.max[axis] > b.min[axis] && b.max[axis] > a.min[axis])) {
            return false;
        }
    }
    return true;
}

bool boxSphere(const AxisAlignedBox& box, const Sphere& sphere) {
    float distanceSquared = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const float c = sphere.center[axis];
        if (c < box.min[axis]) {
            distanceSquared += (c - box.min[axis]) * (c - box.min[axis]);
        } else if (c > box.max[axis]) {
            distanceSquared += (c - box.max[axis]) * (c - box.max[axis]);
        }
    }
    return distanceSquared <= sphere.radius * sphere.radius;
}

bool sphereSphere(const Sphere& a, const Sphere& b) {
    const glm::vec3 d = a.center - b.center;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z) < a.radius + b.radius;
}

AxisAlignedBox boundingBox(const Sphere& sphere) {
    const glm::vec3 extent(sphere.radius);
    return AxisAlignedBox(sphere.center - extent, sphere.center + extent);
}

ConvexHull hullOf(const AxisAlignedBox& box) {
    ConvexHull hull;
    hull.vertices.reserve(8);
    for (int corner = 0; corner < 8; ++corner) {
        hull.vertices.emplace_back((corner & 1) ? box.max.x : box.min.x, (corner & 2) ? box.max.y : box.min.y,
                                   (corner & 4) ? box.max.z : box.min.z);
    }
    hull.axes = {glm::vec3(1.0f, 0.0f, 0.0f), glm::vec3(0.0f, 1.0f, 0.0f), glm::vec3(0.0f, 0.0f, 1.0f)};
    return hull;
}

bool boxHull(const AxisAlignedBox& box, const ConvexHull& hull) {
    return !separatedOnAxes(hullOf(box), hull);
}

struct Interval {
    float min = std::numeric_limits<float>::max();
    float max = -std::numeric_limits<float>::max();
};

Interval project(const ConvexHull& hull, const glm::vec3& axis) {
    Interval interval;
    for (const glm::vec3& vertex : hull.vertices) {
        const float value = glm::dot(vertex, axis);
        if (value < interval.min) {
            interval.min = value;
        }
        if (value > interval.max) {
            interval.max = value;
        }
    }
    return interval;
}

bool separates(const ConvexHull& a, const ConvexHull& b, const glm::vec3& axis) {
    const Interval pa = project(a, axis);
    const Interval pb = project(b, axis);
    const bool overlap = (pa.min <= pb.min && pb.min <= pa.max) || (pb.min <= pa.min && pa.min <= pb.max);
    return !overlap;
}
}  // namespace

bool separatedOnAxes(const ConvexHull& a, const ConvexHull& b) {
    for (const glm::vec3& axis : a.axes) {
        if (separates(a, b, axis)) {
            return true;
        }
    }
    for (const glm::vec3& axis : b.axes) {
        if (separates(a, b, axis)) {
            return true;
        }
    }
    return false;
}

bool intersects(const CollisionVolume& a, const CollisionVolume& b) {
    if (!isValidVolumeType(a.type) || !isValidVolumeType(b.type)) {
        LOG(error) << "Unrecognized collision volume type";
        return false;
    }
    using Type = CollisionVolumeType;
    const auto box = [](const CollisionVolume& v) -> const AxisAlignedBox& {
        return static_cast<const AxisAlignedBox&>(v);
    };
    const auto sphere = [](const CollisionVolume& v) -> const Sphere& {
        return static_cast<const Sphere&>(v);
    };
    const auto hull = [](const CollisionVolume& v) -> const ConvexHull& {
        return static_cast<const ConvexHull&>(v);
    };
    switch (a.type) {
        case Type::AxisAlignedBox:
            switch (b.type) {
                case Type::AxisAlignedBox:
                    return boxBox(box(a), box(b));
                case Type::Sphere:
                    return boxSphere(box(a), sphere(b));
                case Type::ConvexHull:
                    return boxHull(box(a), hull(b));
            }
            break;
        case Type::Sphere:
            switch (b.type) {
                case Type::AxisAlignedBox:
                    return boxSphere(box(b), sphere(a));
                case Type::Sphere:
                    return sphereSphere(sphere(a), sphere(b));
                case Type::ConvexHull:
                    return boxHull(boundingBox(sphere(a)), hull(b));
            }
            break;
        case Type::ConvexHull:
            switch (b.type) {
                case Type::AxisAlignedBox:
                    return boxHull(box(b), hull(a));
                case Type::Sphere:
                    return boxHull(boundingBox(sphere(b)), hull(a));
                case Type::ConvexHull:
                    return !separatedOnAxes(hull(a), hull(b));
            }
            break;
    }
    return false;
}

bool collide(const CollisionVolumeList& first, const CollisionVolumeList& second) {
    for (const auto& a : first) {
        for (const auto& b : second) {
            if (!isValidVolumeType(a->type) || !isValidVolumeType(b->type)) {
                LOG(error) << "Unrecognized collision volume type";
                return false;
            }
            if (intersects(*a, *b)) {
                return true;
            }
        }
    }
    return false;
}

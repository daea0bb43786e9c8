#pragma once
// The collision volume records: axis-aligned boxes, spheres and convex hulls.
// Every volume is allocated singly and owned through a pointer to its base;
// code reads `type` and then treats the record as the matching kind. A type
// outside the three kinds is invalid and is reported where volumes are used.
#include <cstdint>
#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>
#include <memory>
#include <vector>

enum class CollisionVolumeType : std::uint32_t {
    AxisAlignedBox = 0,
    Sphere = 1,
    ConvexHull = 2,
};

// True for the three kinds above.
bool isValidVolumeType(CollisionVolumeType type);

struct CollisionVolume {
    explicit CollisionVolume(CollisionVolumeType type) : type(type) {}
    virtual ~CollisionVolume() = default;

    CollisionVolumeType type;
};

struct AxisAlignedBox : CollisionVolume {
    AxisAlignedBox() : CollisionVolume(CollisionVolumeType::AxisAlignedBox) {}
    AxisAlignedBox(const glm::vec3& min, const glm::vec3& max)
        : CollisionVolume(CollisionVolumeType::AxisAlignedBox), min(min), max(max) {}

    glm::vec3 min;
    glm::vec3 max;
};

struct Sphere : CollisionVolume {
    Sphere() : CollisionVolume(CollisionVolumeType::Sphere) {}
    Sphere(const glm::vec3& center, float radius)
        : CollisionVolume(CollisionVolumeType::Sphere), center(center), radius(radius) {}

    glm::vec3 center;
    float radius = 0.0f;
};

// A convex point set tested only along its face normals: `axes` are the
// distinct unit face normals, each oriented so that its first non-zero
// component in the order y, x, z is positive.
struct ConvexHull : CollisionVolume {
    ConvexHull() : CollisionVolume(CollisionVolumeType::ConvexHull) {}
    ConvexHull(std::vector<glm::vec3> vertices, std::vector<glm::vec3> axes)
        : CollisionVolume(CollisionVolumeType::ConvexHull),
          vertices(std::move(vertices)),
          axes(std::move(axes)) {}

    std::vector<glm::vec3> vertices;
    std::vector<glm::vec3> axes;
};

// Volumes in creation order.
using CollisionVolumeList = std::vector<std::unique_ptr<CollisionVolume>>;

// A new copy of volume, field by field (a hull with copies of both arrays);
// nullptr when its type is invalid.
std::unique_ptr<CollisionVolume> cloneVolume(const CollisionVolume& volume);

// Appends a copy of every volume of source to target, in order; volumes of an
// invalid type are skipped without a message.
void appendVolumeCopies(const CollisionVolumeList& source, CollisionVolumeList& target);

// rotateVector(q, v) = v + 2 (w c + u x c) with u = (q.x, q.y, q.z), w = q.w and
// c = u x v: the rotation of v by a unit quaternion.
glm::vec3 rotateVector(const glm::quat& q, const glm::vec3& v);

// Brings one local volume to world space for position p, rotation q and
// scale k, writing into world (which must be of the same kind):
// - box: min and max become p + k * corner; the rotation is ignored, so a box
//   stays axis-aligned;
// - sphere: the center becomes p + k * center, the radius k.x * radius;
// - hull: every vertex becomes p + rotateVector(q, k * v), every axis rotateVector(q, a)
//   (rotation only, so unit axes stay unit).
// An invalid type logs "Unrecognized collision volume type" and leaves world
// untouched; a world record of another kind is refused with an error record.
// Returns whether world was written.
bool transformVolume(const CollisionVolume& local, CollisionVolume& world, glm::vec3 p, glm::quat q,
                     glm::vec3 k);

// Brings a list of local volumes to world space. When world is empty it is
// first filled with copies of local (invalid types skipped with the record
// "Unrecognized collision volume type"); then each valid local volume is
// transformed into its copy. Local and world volumes are paired in order,
// skipping the invalid local ones, so one bad volume does not shift the rest.
void transformVolumes(const CollisionVolumeList& local, CollisionVolumeList& world, glm::vec3 p, glm::quat q,
                      glm::vec3 k);

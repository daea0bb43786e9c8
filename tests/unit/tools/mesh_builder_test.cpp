// Lofts of the mesh baker: which ends get a cap, and that the tube itself
// does not depend on it.
#include "mesh_builder.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>

namespace {

using bake::MeshBuilder;

struct CapCount {
    int down = 0;  // triangles whose face points to -y
    int up = 0;    // to +y
    int side = 0;  // the rest: the tube
};

CapCount countFaces(const MeshBuilder& mesh) {
    CapCount count;
    for (const auto& triangle : mesh.triangles()) {
        const glm::vec3& a = mesh.vertices()[triangle[0]].position;
        const glm::vec3& b = mesh.vertices()[triangle[1]].position;
        const glm::vec3& c = mesh.vertices()[triangle[2]].position;
        const glm::vec3 face = glm::normalize(glm::cross(b - a, c - a));
        if (face.y < -0.999f) {
            ++count.down;
        } else if (face.y > 0.999f) {
            ++count.up;
        } else {
            ++count.side;
        }
    }
    return count;
}

MeshBuilder loft(MeshBuilder::Caps caps) {
    MeshBuilder mesh;
    mesh.addLoft(0.0f, 0.0f, {{0.0f, 1.0f, 1.0f, {}}, {1.0f, 1.5f, 1.0f, {}}, {2.0f, 0.5f, 0.8f, {}}}, 6,
                 bake::UvRect(), caps);
    return mesh;
}

TEST(MeshBuilderLoft, ClosesOnlyTheEndsAskedForAndKeepsTheTubeTheSame) {
    const CapCount both = countFaces(loft(MeshBuilder::kBothCaps));
    EXPECT_EQ(both.side, 2 * 6 * 2);  // two bands of six quads
    EXPECT_EQ(both.down, 6);
    EXPECT_EQ(both.up, 6);

    const CapCount bottom = countFaces(loft(MeshBuilder::kBottomCap));
    EXPECT_EQ(bottom.side, both.side);
    EXPECT_EQ(bottom.down, 6);
    EXPECT_EQ(bottom.up, 0);

    const CapCount top = countFaces(loft(MeshBuilder::kTopCap));
    EXPECT_EQ(top.down, 0);
    EXPECT_EQ(top.up, 6);

    const MeshBuilder open = loft(MeshBuilder::kNoCaps);
    const CapCount none = countFaces(open);
    EXPECT_EQ(none.side, both.side);
    EXPECT_EQ(none.down + none.up, 0);
    // Without caps no centre vertex is added: three rings of seven (the seam
    // repeats the first corner for the texture's wrap).
    EXPECT_EQ(open.vertices().size(), 3u * 7u);

    // Without the caps argument both ends are closed.
    MeshBuilder closed;
    closed.addLoft(0.0f, 0.0f, {{0.0f, 1.0f, 1.0f, {}}, {1.0f, 1.0f, 1.0f, {}}}, 4, bake::UvRect());
    const CapCount defaults = countFaces(closed);
    EXPECT_EQ(defaults.down, 4);
    EXPECT_EQ(defaults.up, 4);
}

}  // namespace

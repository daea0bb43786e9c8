#include "graphics/resources/skeleton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphics/resources/skeletal_mesh.h"
#include "support/log_capture.h"
#include "unit/graphics/resources/mesh_bytes.h"

namespace {

using boost::log::trivial::error;
using boost::log::trivial::warning;

const float kHalfSqrt2 = std::sqrt(0.5f);

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// The same rotation (q and -q are one rotation).
void expectSameRotation(const glm::quat& actual, const glm::quat& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(std::abs(glm::dot(actual, expected)), 1.0f, tolerance)
        << "actual (" << actual.x << ", " << actual.y << ", " << actual.z << ", " << actual.w << ")";
}

glm::quat about(float degrees, const glm::vec3& axis) {
    return glm::angleAxis(glm::radians(degrees), axis);
}

// Skeleton data of two bones over frames 0..2, in file axes:
// bone 0 at (1, 2, 3), bind turned 90 degrees about the file's z, then
// 180 degrees about z at frame 2; bone 1 at rest, then moved.
MeshBytes skeletonBytes() {
    MeshBytes bytes;
    bytes.u32(2).u32(2);
    bytes.text("Root").u32(0xffffffffu).text("Arm").u32(0);
    // bone 0, frames 0..2
    bytes.floats({1, 2, 3, 0, 0, kHalfSqrt2, kHalfSqrt2});
    bytes.floats({1, 2, 3, 0, 0, kHalfSqrt2, kHalfSqrt2});
    bytes.floats({1, 2, 3, 0, 0, 1, 0});
    // bone 1, frames 0..2
    bytes.floats({0, 0, 0, 0, 0, 0, 1});
    bytes.floats({0, 0, 4, 0, 0, 0, 1});
    bytes.floats({0, 0, 8, 0, 0, 0, 1});
    bytes.u32(4).text("START_Run").f32(1).text("END_Run").f32(2).text("END_Wave").f32(2).text("Jump").f32(1);
    return bytes;
}

TEST(SkeletonFile, ConvertsPositionsAndRotationsAndKeepsLaterFramesRelativeToTheBindPose) {
    LogCapture log;
    const MeshBytes bytes = skeletonBytes();
    BinaryReader reader(bytes.data);
    const auto skeleton = Skeleton::read(reader, "skeleton.skel");
    ASSERT_TRUE(skeleton);
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_EQ(skeleton->getBoneCount(), 2u);
    EXPECT_EQ(skeleton->getFrameCount(), 2u);

    expectNear(skeleton->getTransform(0, 0).position, {1, 3, -2});
    expectNear(skeleton->getTransform(2, 1).position, {0, 8, 0});
    ASSERT_EQ(skeleton->getSkinPositions().size(), 2u);
    expectNear(skeleton->getSkinPositions()[0], {1, 3, -2});
    expectNear(skeleton->getSkinPositions()[1], {0, 0, 0});

    // Frame 0 keeps its absolute orientation: 90 degrees about the file's z
    // is 90 degrees about the engine's y.
    expectSameRotation(skeleton->getTransform(0, 0).orientation, about(90, {0, 1, 0}));
    // Frame 1 equals the bind pose, so relative to it no rotation is left;
    // frame 2 is a further 90 degrees about y.
    expectSameRotation(skeleton->getTransform(1, 0).orientation, glm::quat(1, 0, 0, 0));
    expectSameRotation(skeleton->getTransform(2, 0).orientation, about(90, {0, 1, 0}));
    // The file's identity stays the identity.
    expectSameRotation(skeleton->getTransform(2, 1).orientation, glm::quat(1, 0, 0, 0));
    EXPECT_EQ(log.count(error), 0u);
}

TEST(SkeletonFile, TagsMarkAnimationRangesAndUnknownTagsAreSkippedWithAWarning) {
    LogCapture log;
    const MeshBytes bytes = skeletonBytes();
    BinaryReader reader(bytes.data);
    const auto skeleton = Skeleton::read(reader, "skeleton.skel");
    ASSERT_TRUE(skeleton);
    ASSERT_EQ(skeleton->getAnimations().size(), 2u);
    const AnimationRange* run = skeleton->findAnimation("Run");
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->start, 1.0f);
    EXPECT_EQ(run->end, 2.0f);
    // Created by its END_ tag alone: the missing start stays 0.
    const AnimationRange* wave = skeleton->findAnimation("Wave");
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->start, 0.0f);
    EXPECT_EQ(wave->end, 2.0f);
    EXPECT_EQ(skeleton->findAnimation("Jump"), nullptr);
    EXPECT_EQ(log.count(warning, "Unrecognized animation tag: Jump"), 1u);
}

TEST(SkeletonFile, DataRunningPastTheEndIsRefused) {
    const MeshBytes whole = skeletonBytes();
    for (std::size_t length = 0; length < whole.data.size(); ++length) {
        LogCapture log;
        BinaryReader reader(whole.data.data(), length);
        EXPECT_FALSE(Skeleton::read(reader, "short.skel")) << length << " bytes";
        EXPECT_EQ(log.count(error, "[short.skel]!"), 1u) << length << " bytes";
    }
    {
        LogCapture log;
        MeshBytes tracks;  // two bones over 4 frames announced, one frame given
        tracks.u32(2).u32(3).text("a").u32(0).text("b").u32(0).floats({0, 0, 0, 0, 0, 0, 1});
        BinaryReader reader(tracks.data);
        EXPECT_FALSE(Skeleton::read(reader, "tracks.skel"));
        EXPECT_EQ(log.count(error, "Skeleton ends inside its bone tracks: [tracks.skel]!"), 1u);
    }
    {
        LogCapture log;
        MeshBytes tags;  // a frame count whose frame total overflows 32 bits
        tags.u32(1).u32(0xffffffffu).text("a").u32(0).floats({0, 0, 0, 0, 0, 0, 1});
        BinaryReader reader(tags.data);
        EXPECT_FALSE(Skeleton::read(reader, "frames.skel"));
        EXPECT_EQ(log.count(error, "Skeleton ends inside its bone tracks: [frames.skel]!"), 1u);
    }
    {
        LogCapture log;
        MeshBytes tags;  // three tags announced, one given
        tags.u32(0).u32(0).u32(3).text("START_Run").f32(0);
        BinaryReader reader(tags.data);
        EXPECT_FALSE(Skeleton::read(reader, "tags.skel"));
        EXPECT_EQ(log.count(error, "Skeleton ends inside its tags: [tags.skel]!"), 1u);
    }
}

// A skeletal mesh of one triangle skinned to bones 0 and 1 of the skeleton
// above; boneOfLastVertex lets a test name a bone that does not exist.
MeshBytes skeletalMeshBytes(std::uint32_t boneOfLastVertex) {
    MeshBytes file;
    file.u32(3);
    file.flatVertex(0, 0).u32(0).f32(1).u32(0).f32(0);
    file.flatVertex(1, 0).u32(0).f32(0.5f).u32(1).f32(0.5f);
    file.flatVertex(0, 1).u32(1).f32(1).u32(boneOfLastVertex).f32(0);
    file.u32(1).triangle(0, 1, 2);
    const MeshBytes skeleton = skeletonBytes();
    file.data.insert(file.data.end(), skeleton.data.begin(), skeleton.data.end());
    return file;
}

TEST(SkeletonFile, MoreBonesThanTheShadersTakeAreRefusedWithARecordNamingTheFile) {
    for (const std::uint32_t bones : {Skeleton::kMaxBones, Skeleton::kMaxBones + 1}) {
        SCOPED_TRACE(bones);
        MeshBytes bytes;
        bytes.u32(bones).u32(0);
        for (std::uint32_t b = 0; b < bones; ++b) {
            bytes.text("b").u32(b == 0 ? 0xffffffffu : 0);
        }
        for (std::uint32_t b = 0; b < bones; ++b) {
            bytes.floats({0, 0, 0, 0, 0, 0, 1});
        }
        bytes.u32(0);
        LogCapture log;
        BinaryReader reader(bytes.data);
        const auto skeleton = Skeleton::read(reader, "many.skel");
        if (bones <= Skeleton::kMaxBones) {
            ASSERT_TRUE(skeleton);
            EXPECT_EQ(skeleton->getBoneCount(), bones);
            EXPECT_EQ(log.count(error), 0u);
        } else {
            EXPECT_FALSE(skeleton);
            EXPECT_EQ(
                log.count(error, "Skeleton has 65 bones, the skinning shaders take at most 64: [many.skel]!"),
                1u);
        }
    }
}

TEST(SkeletalMeshFile, ReadsVerticesTrianglesAndTheSkeletonThatFollowsThem) {
    const auto mesh = SkeletalMesh::decode(skeletalMeshBytes(1).data, "actor.skel");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->vertices.size(), 3u);
    EXPECT_EQ(mesh->triangles.size(), 1u);
    ASSERT_TRUE(mesh->skeleton);
    EXPECT_EQ(mesh->skeleton->getBoneCount(), 2u);
    const SkeletalVertex& v = mesh->vertices[1];
    expectNear(v.position, {1, 0, 0});
    expectNear(v.normal, {0, 1, 0});
    EXPECT_EQ(v.boneIndex1, 0u);
    EXPECT_EQ(v.boneWeight1, 0.5f);
    EXPECT_EQ(v.boneIndex2, 1u);
    EXPECT_EQ(v.boneWeight2, 0.5f);
}

TEST(SkeletalMeshFile, ShortFilesAndBonesBeyondTheSkeletonAreRefused) {
    const MeshBytes whole = skeletalMeshBytes(1);
    for (std::size_t length = 0; length < whole.data.size(); ++length) {
        LogCapture log;
        const std::vector<unsigned char> shortened(whole.data.begin(), whole.data.begin() + length);
        EXPECT_FALSE(SkeletalMesh::decode(shortened, "short.skel")) << length << " bytes";
        EXPECT_EQ(log.count(error, "[short.skel]!"), 1u) << length << " bytes";
    }
    LogCapture log;
    EXPECT_FALSE(SkeletalMesh::decode(skeletalMeshBytes(2).data, "bones.skel"));
    EXPECT_EQ(log.count(error, "Vertex 2 names bone 2 of 2 in [bones.skel]!"), 1u);
}

// A skeleton of one bone over frames 0..20 built in engine axes: frame f
// stands at (f, 0, 0) and is turned f * 4 degrees about y (relative to the
// identity bind pose).
Skeleton lineSkeleton() {
    std::vector<BoneTransform> frames;
    for (int f = 0; f <= 20; ++f) {
        frames.push_back({glm::vec3(static_cast<float>(f), 0, 0), about(4.0f * f, {0, 1, 0})});
    }
    return Skeleton(1, 20, std::move(frames), {{"Walk", {10, 20}}, {"Far", {-5, 50}}, {"Back", {20, 10}}});
}

TEST(SkeletonPose, StartsInTheBindPose) {
    const Skeleton skeleton = lineSkeleton();
    const SkeletonPose pose(skeleton);
    ASSERT_EQ(pose.getPositions().size(), 1u);
    expectNear(pose.getPositions()[0], {0, 0, 0});
    expectSameRotation(pose.getOrientations()[0], glm::quat(1, 0, 0, 0));
}

TEST(SkeletonPose, ProgressPicksTheTwoFramesAroundItsPointOfTheRange) {
    const Skeleton skeleton = lineSkeleton();
    SkeletonPose pose(skeleton);
    // 10 + (20 - 10) * 0.25 = 12.5: frames 12 and 13 half and half.
    pose.update("Walk", 0.25f);
    expectNear(pose.getPositions()[0], {12.5f, 0, 0});
    expectSameRotation(pose.getOrientations()[0], about(50, {0, 1, 0}));
    // The ends of the range are exactly its frames.
    pose.update("Walk", 0.0f);
    EXPECT_EQ(pose.getPositions()[0], glm::vec3(10, 0, 0));
    expectSameRotation(pose.getOrientations()[0], about(40, {0, 1, 0}));
    pose.update("Walk", 1.0f);
    EXPECT_EQ(pose.getPositions()[0], glm::vec3(20, 0, 0));
    expectSameRotation(pose.getOrientations()[0], about(80, {0, 1, 0}));
    // A range may run backwards.
    pose.update("Back", 0.25f);
    expectNear(pose.getPositions()[0], {17.5f, 0, 0});
}

TEST(SkeletonPose, ProgressOutsideZeroToOneAndRangesOutsideTheTimelineAreClamped) {
    const Skeleton skeleton = lineSkeleton();
    SkeletonPose pose(skeleton);
    pose.update("Walk", -0.5f);
    EXPECT_EQ(pose.getPositions()[0], glm::vec3(10, 0, 0));
    pose.update("Walk", 3.0f);
    EXPECT_EQ(pose.getPositions()[0], glm::vec3(20, 0, 0));
    pose.update("Walk", std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(pose.getPositions()[0], glm::vec3(10, 0, 0));
    // "Far" runs from -5 to 50 on a timeline of frames 0..20.
    pose.update("Far", 1.0f);
    EXPECT_EQ(pose.getPositions()[0], glm::vec3(20, 0, 0));
    pose.update("Far", 0.0f);  // frame 0: the bind pose, no rotation
    EXPECT_EQ(pose.getPositions()[0], glm::vec3(0, 0, 0));
    expectSameRotation(pose.getOrientations()[0], glm::quat(1, 0, 0, 0));
}

TEST(SkeletonPose, AnAnimationTheSkeletonLacksHoldsTheBindPoseAndIsReportedOnce) {
    const Skeleton skeleton = lineSkeleton();
    SkeletonPose pose(skeleton);
    pose.update("Walk", 0.5f);
    LogCapture log;
    pose.update("Swim", 0.5f);
    pose.update("Swim", 0.7f);
    expectNear(pose.getPositions()[0], {0, 0, 0});
    expectSameRotation(pose.getOrientations()[0], glm::quat(1, 0, 0, 0));
    EXPECT_EQ(log.count(error, "Skeleton has no animation [Swim]!"), 1u);
}

TEST(ShortestArcSlerp, BlendsAlongTheShorterArcWithoutASpin) {
    const glm::quat a = about(10, {0, 1, 0});
    const glm::quat b = about(70, {0, 1, 0});
    expectSameRotation(slerpShortestArc(a, b, 0.5f), about(40, {0, 1, 0}));
    expectSameRotation(slerpShortestArc(a, b, 0.0f), a);
    expectSameRotation(slerpShortestArc(a, b, 1.0f), b);
    // -b is the same rotation as b: the blend must not go the long way round
    // through 220 degrees.
    const glm::quat halfway = slerpShortestArc(a, -b, 0.5f);
    expectSameRotation(halfway, about(40, {0, 1, 0}));
    // Two keys differing only in sign blend to that one rotation.
    expectSameRotation(slerpShortestArc(b, -b, 0.3f), b);
    // 350 degrees one way is 10 degrees the other.
    expectSameRotation(slerpShortestArc(about(0, {1, 0, 0}), about(-20, {1, 0, 0}), 0.5f),
                       about(-10, {1, 0, 0}));
    const glm::quat nearlyEqual = slerpShortestArc(a, a, 0.5f);
    EXPECT_NEAR(glm::length(nearlyEqual), 1.0f, 1e-6f);
}

}  // namespace

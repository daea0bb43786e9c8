#pragma once
// Bones and key frames of a skeletal mesh, and the animated pose of one
// instance.
//
// All animations share one timeline of frames 0..F; frame 0 is the bind
// pose and a named animation is a range of frame positions marked by the
// tags "START_<name>" and "END_<name>". Positions are kept absolute (model
// space); orientations of frames 1..F are kept relative to the bone's frame-0
// orientation, which is how the skinning shaders apply them:
//
//   skinned = position[b] + orientation[b] * (vertex - skinPosition[b])
//
// Skeleton data in the file, after the mesh's triangles (little-endian):
// bone count B (u32), last frame F (u32), B bone records (NUL-terminated
// name, u32 parent index; unused here), B x (F + 1) tracks of position (3
// floats) and orientation (x, y, z, w), bone-major; tag count M (u32), M tags
// (NUL-terminated name, float frame position).
#include <cstdint>
#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "graphics/resources/binary_reader.h"
#include "utils/non_copyable.h"

struct BoneTransform {
    glm::vec3 position;
    glm::quat orientation;  // unit quaternion, stored x, y, z, w
};

// Frame positions of one animation; a tag the file lacks leaves its end at 0.
struct AnimationRange {
    float start = 0.0f;
    float end = 0.0f;
};

class Skeleton : private NonCopyable {
  public:
    // Bones the skinning shaders' bone arrays hold ("kMaxBones" in the
    // skeletal vertex shaders).
    static constexpr std::uint32_t kMaxBones = 64;

    // Reads the skeleton from the rest of a skeletal mesh file, converting
    // to the engine's axes. nullptr after an error record naming path when
    // the bone records, tracks or tags run past the end of the data, or the
    // skeleton has more than kMaxBones bones.
    static std::unique_ptr<Skeleton> read(BinaryReader& stream, const std::string& path);

    // frames holds (lastFrame + 1) x boneCount transforms, frame-major
    // (frame f, bone b at f * boneCount + b), already in engine axes with
    // the orientations of frames >= 1 relative to frame 0.
    Skeleton(std::uint32_t boneCount, std::uint32_t lastFrame, std::vector<BoneTransform> frames,
             std::map<std::string, AnimationRange> animations);

    std::uint32_t getBoneCount() const { return boneCount; }
    // Index of the last frame F; the timeline holds F + 1 frames.
    std::uint32_t getFrameCount() const { return frameCount; }
    const BoneTransform& getTransform(std::uint32_t frame, std::uint32_t bone) const {
        return frames[static_cast<std::size_t>(frame) * boneCount + bone];
    }
    // Frame-0 bone positions, the reference of the skinning.
    const std::vector<glm::vec3>& getSkinPositions() const { return skinPositions; }
    const std::map<std::string, AnimationRange>& getAnimations() const { return animations; }
    // The range of an animation, or nullptr when no tag names it.
    const AnimationRange* findAnimation(const std::string& name) const;

  private:
    std::uint32_t boneCount;
    std::uint32_t frameCount;
    std::vector<BoneTransform> frames;
    std::map<std::string, AnimationRange> animations;
    std::vector<glm::vec3> skinPositions;
};

// Spherical blend from a to b by t along the shorter arc: b is negated when
// the two lie in opposite hemispheres; nearly equal quaternions give b.
glm::quat slerpShortestArc(const glm::quat& a, const glm::quat& b, float t);

// The current position and orientation of every bone of one skeleton, for
// the three bone uniform arrays of the skinning shaders. A new pose is the
// bind pose: skin positions, no rotation.
class SkeletonPose {
  public:
    explicit SkeletonPose(const Skeleton& skeleton);

    // Moves to the point progress (0 at the start, 1 at the end) of the
    // named animation: linear blend of positions and shortest-arc blend of
    // orientations between the two frames around it. progress is clamped to
    // 0..1 and the frame position to the timeline. An animation the skeleton
    // does not define holds the bind pose (reported once per change of name).
    void update(const std::string& animationName, float progress);
    void setBindPose();

    const Skeleton& getSkeleton() const { return skeleton; }
    const std::vector<glm::vec3>& getPositions() const { return positions; }
    const std::vector<glm::quat>& getOrientations() const { return orientations; }

  private:
    const Skeleton& skeleton;
    std::vector<glm::vec3> positions;
    std::vector<glm::quat> orientations;
    std::string lastMissingAnimation;
};

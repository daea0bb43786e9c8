#include "graphics/resources/skeleton.h"

#include <cmath>
#include <glm/common.hpp>

#include "utils/log.h"

namespace {

constexpr std::size_t kTrackBytes = 28;          // position and orientation: 7 floats
constexpr std::size_t kMinNamedRecordBytes = 5;  // empty name's NUL and a 32-bit value

void reportTruncated(const std::string& path, const char* what) {
    LOG(error) << "Skeleton ends inside its " << what << ": [" << path << "]!";
}

// A file rotation (authored z up) as the same rotation in the engine's axes:
// angle and axis, the axis exchanged like a point.
glm::quat toEngineAxes(float x, float y, float z, float w) {
    const float clampedW = w < -1.0f ? -1.0f : (w > 1.0f ? 1.0f : w);
    const float angle = 2.0f * std::acos(clampedW);
    const float t = 1.0f - w * w;
    glm::vec3 axis(0.0f, 0.0f, 1.0f);
    if (t > 0.0f) {
        axis = glm::vec3(x, y, z) / std::sqrt(t);
    }
    const glm::vec3 engineAxis(axis.x, axis.z, -axis.y);
    const float s = std::sin(angle / 2.0f);
    return glm::quat(std::cos(angle / 2.0f), engineAxis.x * s, engineAxis.y * s, engineAxis.z * s);
}

// q0^-1 * q; a zero q0 (a broken file) counts as the identity rather than
// dividing by zero.
glm::quat relativeTo(const glm::quat& q0, const glm::quat& q) {
    const float norm = glm::dot(q0, q0);
    if (!(norm > 0.0f)) {
        return q;
    }
    return (glm::conjugate(q0) / norm) * q;
}

}  // namespace

std::unique_ptr<Skeleton> Skeleton::read(BinaryReader& stream, const std::string& path) {
    std::uint32_t boneCount = 0;
    std::uint32_t lastFrame = 0;
    if (!stream.readU32(boneCount) || !stream.readU32(lastFrame)) {
        reportTruncated(path, "counts");
        return nullptr;
    }
    if (boneCount > kMaxBones) {
        LOG(error) << "Skeleton has " << boneCount << " bones, the skinning shaders take at most "
                   << kMaxBones << ": [" << path << "]!";
        return nullptr;
    }
    if (stream.remaining() / kMinNamedRecordBytes < boneCount) {
        reportTruncated(path, "bone records");
        return nullptr;
    }
    for (std::uint32_t b = 0; b < boneCount; ++b) {
        std::string name;
        std::uint32_t parent = 0;
        if (!stream.readString(name) || !stream.readU32(parent)) {
            reportTruncated(path, "bone records");
            return nullptr;
        }
    }

    const std::uint64_t frameTotal = static_cast<std::uint64_t>(lastFrame) + 1;
    if (boneCount != 0 && stream.remaining() / (kTrackBytes * boneCount) < frameTotal) {
        reportTruncated(path, "bone tracks");
        return nullptr;
    }
    std::vector<BoneTransform> frames(static_cast<std::size_t>(boneCount != 0 ? frameTotal * boneCount : 0));
    for (std::uint32_t b = 0; b < boneCount; ++b) {
        for (std::uint64_t f = 0; f < frameTotal; ++f) {
            float v[7] = {};
            stream.readF32s(v, 7);
            BoneTransform& transform = frames[f * boneCount + b];
            transform.position = glm::vec3(v[0], v[2], -v[1]);
            transform.orientation = toEngineAxes(v[3], v[4], v[5], v[6]);
        }
    }
    for (std::uint64_t f = 1; f < frameTotal && boneCount != 0; ++f) {
        for (std::uint32_t b = 0; b < boneCount; ++b) {
            glm::quat& q = frames[f * boneCount + b].orientation;
            q = relativeTo(frames[b].orientation, q);
        }
    }

    std::uint32_t tagCount = 0;
    if (!stream.readU32(tagCount)) {
        reportTruncated(path, "tag count");
        return nullptr;
    }
    if (stream.remaining() / kMinNamedRecordBytes < tagCount) {
        reportTruncated(path, "tags");
        return nullptr;
    }
    std::map<std::string, AnimationRange> animations;
    static const std::string kStart = "START_";
    static const std::string kEnd = "END_";
    for (std::uint32_t m = 0; m < tagCount; ++m) {
        std::string name;
        float value = 0.0f;
        if (!stream.readString(name) || !stream.readF32(value)) {
            reportTruncated(path, "tags");
            return nullptr;
        }
        if (name.compare(0, kStart.size(), kStart) == 0) {
            animations[name.substr(kStart.size())].start = value;
        } else if (name.compare(0, kEnd.size(), kEnd) == 0) {
            animations[name.substr(kEnd.size())].end = value;
        } else {
            LOG(warning) << "Unrecognized animation tag: " << name;
        }
    }
    return std::make_unique<Skeleton>(boneCount, lastFrame, std::move(frames), std::move(animations));
}

Skeleton::Skeleton(std::uint32_t boneCount, std::uint32_t lastFrame, std::vector<BoneTransform> frames,
                   std::map<std::string, AnimationRange> animations)
    : boneCount(boneCount),
      frameCount(lastFrame),
      frames(std::move(frames)),
      animations(std::move(animations)) {
    skinPositions.reserve(boneCount);
    for (std::uint32_t b = 0; b < boneCount; ++b) {
        skinPositions.push_back(this->frames[b].position);
    }
}

const AnimationRange* Skeleton::findAnimation(const std::string& name) const {
    const auto it = animations.find(name);
    return it == animations.end() ? nullptr : &it->second;
}

glm::quat slerpShortestArc(const glm::quat& a, const glm::quat& b, float t) {
    glm::quat end = b;
    float cosine = glm::dot(a, b);
    if (cosine < 0.0f) {
        end = -b;
        cosine = -cosine;
    }
    if (cosine > 0.9999999f) {
        return end;
    }
    const float angle = std::acos(cosine);
    return (std::sin((1.0f - t) * angle) * a + std::sin(t * angle) * end) / std::sin(angle);
}

SkeletonPose::SkeletonPose(const Skeleton& skeleton) : skeleton(skeleton) {
    setBindPose();
}

void SkeletonPose::setBindPose() {
    positions = skeleton.getSkinPositions();
    orientations.assign(skeleton.getBoneCount(), glm::quat(1.0f, 0.0f, 0.0f, 0.0f));
}

void SkeletonPose::update(const std::string& animationName, float progress) {
    const AnimationRange* range = skeleton.findAnimation(animationName);
    if (range == nullptr) {
        if (animationName != lastMissingAnimation) {
            LOG(error) << "Skeleton has no animation [" << animationName << "]!";
            lastMissingAnimation = animationName;
        }
        setBindPose();
        return;
    }
    lastMissingAnimation.clear();

    // NaN fails every comparison and lands on the lower bound. Double
    // precision keeps the frame indices exact for any frame count.
    const double p = progress > 0.0f ? (progress < 1.0f ? progress : 1.0) : 0.0;
    double x = range->start + (static_cast<double>(range->end) - range->start) * p;
    const double last = static_cast<double>(skeleton.getFrameCount());
    x = x > 0.0 ? (x < last ? x : last) : 0.0;

    const double below = std::floor(x);
    const auto frameA = static_cast<std::uint32_t>(below);
    const auto frameN = static_cast<std::uint32_t>(std::ceil(x));
    const auto t = static_cast<float>(x - below);

    // Frame 0 holds absolute orientations; relative to itself the bind pose
    // is no rotation, which is what the shaders must receive for it.
    const auto orientation = [this](std::uint32_t frame, std::uint32_t bone) {
        return frame == 0 ? glm::quat(1.0f, 0.0f, 0.0f, 0.0f)
                          : skeleton.getTransform(frame, bone).orientation;
    };
    for (std::uint32_t b = 0; b < skeleton.getBoneCount(); ++b) {
        positions[b] =
            glm::mix(skeleton.getTransform(frameA, b).position, skeleton.getTransform(frameN, b).position, t);
        orientations[b] = slerpShortestArc(orientation(frameA, b), orientation(frameN, b), t);
    }
}

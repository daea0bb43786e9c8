#include "actor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <glm/geometric.hpp>
#include <limits>
#include <string>
#include <utility>

#include "mesh_builder.h"

// The actor faces +z in model space with y up; its right side is -x (the
// side the fireball leaves from). It stands 22 units tall with its feet on
// y = 0; the game draws it at a tenth of that.
//
// Every bone has an identity bind orientation, so frame 0 is the plain
// mesh and each later frame's orientations are both absolute and relative
// to the bind pose. Bone tracks hold model-space transforms worked out from
// the hierarchy below; the game only ever blends them.

namespace bake {
namespace {

enum Bone : std::uint32_t {
    Pelvis,
    Chest,
    Head,
    UpperArmRight,
    ForearmRight,
    UpperArmLeft,
    ForearmLeft,
    ThighRight,
    ShinRight,
    ThighLeft,
    ShinLeft,
    kBoneCount
};

struct BoneInfo {
    const char* name;
    int parent;  // parents come before their children
    glm::vec3 bind;
};

const BoneInfo kBones[kBoneCount] = {
    {"Pelvis", -1, {0.0f, 10.5f, 0.0f}},
    {"Chest", Pelvis, {0.0f, 13.0f, 0.0f}},
    {"Head", Chest, {0.0f, 18.6f, 0.0f}},
    {"UpperArmRight", Chest, {-3.1f, 17.6f, 0.0f}},
    {"ForearmRight", UpperArmRight, {-3.1f, 13.9f, 0.0f}},
    {"UpperArmLeft", Chest, {3.1f, 17.6f, 0.0f}},
    {"ForearmLeft", UpperArmLeft, {3.1f, 13.9f, 0.0f}},
    {"ThighRight", Pelvis, {-1.3f, 10.2f, 0.0f}},
    {"ShinRight", ThighRight, {-1.3f, 5.6f, 0.0f}},
    {"ThighLeft", Pelvis, {1.3f, 10.2f, 0.0f}},
    {"ShinLeft", ThighLeft, {1.3f, 5.6f, 0.0f}},
};

Skin only(Bone bone) {
    return Skin{bone, 1.0f, bone};
}
Skin blend(Bone a, float weightA, Bone b) {
    return Skin{a, weightA, b};
}

// Texture bands of the actor's skin: head, body, arms, legs (bottom to top).
const UvRect kHeadUv{0.0f, 0.8f, 1.0f, 1.0f};
const UvRect kBodyUv{0.0f, 0.5f, 1.0f, 0.8f};
const UvRect kArmUv{0.0f, 0.3f, 1.0f, 0.5f};
const UvRect kLegUv{0.0f, 0.0f, 1.0f, 0.3f};

// Sides of the lofts. The actor stands about fifty pixels tall on screen,
// where a limb is a few pixels wide: more sides only add small triangles,
// which a software rasteriser pays for per triangle. Caps are left out where
// they sit inside another part: the elbow and knee joints (both rings move
// with the same bones), the neck, the wrist inside the forearm and the ankle
// inside the foot.
constexpr int kBodySides = 8;
constexpr int kLimbSides = 6;

void addArm(MeshBuilder& mesh, float x, Bone upper, Bone fore) {
    mesh.addLoft(x, 0.0f,
                 {{13.9f, 0.6f, 0.6f, blend(upper, 0.5f, fore)},
                  {15.8f, 0.7f, 0.7f, only(upper)},
                  {17.4f, 0.8f, 0.8f, blend(upper, 0.7f, Chest)},
                  {18.2f, 0.55f, 0.55f, blend(upper, 0.5f, Chest)}},
                 kLimbSides, kArmUv, MeshBuilder::kTopCap);
    mesh.addLoft(x, 0.0f,
                 {{10.7f, 0.45f, 0.45f, only(fore)},
                  {12.3f, 0.55f, 0.55f, only(fore)},
                  {13.9f, 0.6f, 0.6f, blend(fore, 0.5f, upper)}},
                 kLimbSides, kArmUv, MeshBuilder::kBottomCap);
    // Hand: a flattened mitten below the wrist.
    mesh.addLoft(
        x, 0.1f,
        {{8.9f, 0.3f, 0.22f, only(fore)}, {9.7f, 0.5f, 0.3f, only(fore)}, {10.9f, 0.42f, 0.32f, only(fore)}},
        kLimbSides, kArmUv, MeshBuilder::kBottomCap);
}

void addLeg(MeshBuilder& mesh, float x, Bone thigh, Bone shin) {
    mesh.addLoft(x, 0.0f,
                 {{5.6f, 0.75f, 0.75f, blend(thigh, 0.5f, shin)},
                  {8.0f, 0.95f, 0.95f, only(thigh)},
                  {10.0f, 1.05f, 1.05f, blend(thigh, 0.8f, Pelvis)},
                  {10.9f, 0.8f, 0.8f, blend(thigh, 0.5f, Pelvis)}},
                 kLimbSides, kLegUv, MeshBuilder::kTopCap);
    mesh.addLoft(x, 0.0f,
                 {{1.0f, 0.5f, 0.5f, only(shin)},
                  {3.4f, 0.7f, 0.7f, only(shin)},
                  {5.6f, 0.75f, 0.75f, blend(shin, 0.5f, thigh)}},
                 kLimbSides, kLegUv, MeshBuilder::kNoCaps);
    mesh.addBoxInRect(glm::vec3(x - 0.55f, 0.0f, -0.7f), glm::vec3(x + 0.55f, 1.2f, 2.3f), kLegUv,
                      only(shin));
}

MeshBuilder buildActorMesh() {
    MeshBuilder mesh;
    // Trunk from the crotch to the shoulders, hips to chest.
    mesh.addLoft(0.0f, 0.0f,
                 {{8.9f, 1.75f, 1.15f, only(Pelvis)},
                  {10.4f, 2.0f, 1.25f, only(Pelvis)},
                  {12.0f, 1.8f, 1.1f, blend(Pelvis, 0.6f, Chest)},
                  {13.6f, 1.85f, 1.15f, blend(Chest, 0.85f, Pelvis)},
                  {15.5f, 2.2f, 1.3f, only(Chest)},
                  {17.2f, 2.55f, 1.35f, only(Chest)},
                  {18.1f, 2.1f, 1.1f, only(Chest)},
                  {18.5f, 1.0f, 0.8f, only(Chest)}},
                 kBodySides, kBodyUv);
    mesh.addLoft(0.0f, 0.0f,
                 {{18.2f, 0.65f, 0.6f, only(Chest)}, {19.4f, 0.6f, 0.55f, blend(Head, 0.7f, Chest)}},
                 kLimbSides, kBodyUv, MeshBuilder::kNoCaps);
    mesh.addLoft(0.0f, 0.05f,
                 {{18.9f, 0.9f, 0.95f, only(Head)},
                  {19.4f, 1.3f, 1.4f, only(Head)},
                  {20.2f, 1.45f, 1.55f, only(Head)},
                  {21.0f, 1.4f, 1.5f, only(Head)},
                  {21.6f, 1.1f, 1.2f, only(Head)},
                  {22.0f, 0.55f, 0.6f, only(Head)}},
                 kBodySides, kHeadUv);
    // The nose shows which way the actor looks.
    mesh.addBoxInRect(glm::vec3(-0.2f, 19.9f, 1.4f), glm::vec3(0.2f, 20.5f, 1.95f), kHeadUv, only(Head));
    addArm(mesh, -3.1f, UpperArmRight, ForearmRight);
    addArm(mesh, 3.1f, UpperArmLeft, ForearmLeft);
    addLeg(mesh, -1.3f, ThighRight, ShinRight);
    addLeg(mesh, 1.3f, ThighLeft, ShinLeft);
    mesh.computeTangents();
    return mesh;
}

// Joint angles in degrees per bone, relative to the parent: the local
// rotation is yaw(y) * pitch(x) * roll(z), so a limb is first swung out
// sideways, then forwards or backwards, then turned about the vertical.
// Signs: a negative x swings a hanging limb forwards (+z), a positive x on
// a shin bends the knee; a positive y turns the body to its left.
struct Pose {
    glm::vec3 angles[kBoneCount] = {};
};

glm::quat rotation(const glm::vec3& degrees) {
    const glm::vec3 r = glm::radians(degrees);
    return glm::angleAxis(r.y, glm::vec3(0, 1, 0)) * glm::angleAxis(r.x, glm::vec3(1, 0, 0)) *
           glm::angleAxis(r.z, glm::vec3(0, 0, 1));
}

Pose mix(const Pose& a, const Pose& b, float t) {
    Pose result;
    for (std::uint32_t bone = 0; bone < kBoneCount; ++bone) {
        result.angles[bone] = a.angles[bone] + (b.angles[bone] - a.angles[bone]) * t;
    }
    return result;
}

float smooth(float t) {
    return t * t * (3.0f - 2.0f * t);
}

// Key poses at phases 0..1, eased in and out between neighbours.
Pose keyed(const std::vector<std::pair<float, Pose>>& keys, float phase) {
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        if (phase <= keys[i + 1].first) {
            const float t = (phase - keys[i].first) / (keys[i + 1].first - keys[i].first);
            return mix(keys[i].second, keys[i + 1].second, smooth(std::clamp(t, 0.0f, 1.0f)));
        }
    }
    return keys.back().second;
}

// Standing relaxed: arms a little away from the body, elbows soft.
Pose rest() {
    Pose p;
    p.angles[UpperArmRight] = {0, 0, -6};
    p.angles[UpperArmLeft] = {0, 0, 6};
    p.angles[ForearmRight] = {-10, 0, 0};
    p.angles[ForearmLeft] = {-10, 0, 0};
    return p;
}

Pose with(Pose p, std::initializer_list<std::pair<Bone, glm::vec3>> changes) {
    for (const auto& change : changes) {
        p.angles[change.first] = change.second;
    }
    return p;
}

constexpr float kPi = 3.14159265358979323846f;

Pose idle(float phase) {
    const float breath = std::sin(2.0f * kPi * phase);
    return with(rest(), {{Chest, {1.5f * breath, 0, 0}},
                         {Head, {-1.0f * breath, 5.0f * breath, 0}},
                         {UpperArmRight, {0, 0, -6.0f - 2.0f * breath}},
                         {UpperArmLeft, {0, 0, 6.0f + 2.0f * breath}},
                         {ForearmRight, {-10.0f - 3.0f * breath, 0, 0}},
                         {ForearmLeft, {-10.0f - 3.0f * breath, 0, 0}}});
}

// One stride of each leg; the knee folds while its leg swings forwards and
// each arm swings against its leg.
Pose run(float phase) {
    const float s = std::sin(2.0f * kPi * phase);
    const float c = std::cos(2.0f * kPi * phase);
    Pose p;
    p.angles[Pelvis] = {0, 8.0f * s, 0};
    p.angles[Chest] = {10.0f, -10.0f * s, 0};
    p.angles[Head] = {-8.0f, 2.0f * s, 0};
    p.angles[ThighRight] = {-38.0f * s - 5.0f, 0, 0};
    p.angles[ThighLeft] = {38.0f * s - 5.0f, 0, 0};
    p.angles[ShinRight] = {10.0f + 65.0f * std::max(0.0f, c), 0, 0};
    p.angles[ShinLeft] = {10.0f + 65.0f * std::max(0.0f, -c), 0, 0};
    p.angles[UpperArmRight] = {35.0f * s, 0, -10.0f};
    p.angles[UpperArmLeft] = {-35.0f * s, 0, 10.0f};
    p.angles[ForearmRight] = {-80.0f, 0, 0};
    p.angles[ForearmLeft] = {-80.0f, 0, 0};
    return p;
}

// Fireball: the right arm cocks back over the head, then throws.
const Pose kFireballCocked = with(rest(), {{UpperArmRight, {-200, 0, -20}},
                                           {ForearmRight, {-70, 0, 0}},
                                           {UpperArmLeft, {-50, 0, 16}},
                                           {ForearmLeft, {-20, 0, 0}},
                                           {Chest, {-6, -25, 0}},
                                           {Head, {0, 20, 0}},
                                           {ThighRight, {10, 0, 0}},
                                           {ShinRight, {8, 0, 0}},
                                           {ThighLeft, {-15, 0, 0}},
                                           {ShinLeft, {10, 0, 0}}});
const Pose kFireballThrown = with(rest(), {{UpperArmRight, {-75, 0, -10}},
                                           {ForearmRight, {-15, 0, 0}},
                                           {UpperArmLeft, {25, 0, 12}},
                                           {ForearmLeft, {-20, 0, 0}},
                                           {Chest, {14, 22, 0}},
                                           {Head, {-10, -18, 0}},
                                           {ThighRight, {-10, 0, 0}},
                                           {ShinRight, {12, 0, 0}},
                                           {ThighLeft, {12, 0, 0}},
                                           {ShinLeft, {6, 0, 0}}});

// Chain lightning: the right arm points at the target, then recoils.
const Pose kLightningPointing = with(rest(), {{UpperArmRight, {-100, 0, -4}},
                                              {ForearmRight, {-5, 0, 0}},
                                              {UpperArmLeft, {-25, 0, 30}},
                                              {ForearmLeft, {-35, 0, 0}},
                                              {Chest, {0, 18, 0}},
                                              {Head, {0, -15, 0}},
                                              {ThighRight, {-14, 0, 0}},
                                              {ShinRight, {10, 0, 0}},
                                              {ThighLeft, {10, 0, 0}},
                                              {ShinLeft, {6, 0, 0}}});
const Pose kLightningRecoil = with(kLightningPointing, {{UpperArmRight, {-145, 0, -8}},
                                                        {ForearmRight, {-40, 0, 0}},
                                                        {UpperArmLeft, {-10, 0, 20}},
                                                        {ForearmLeft, {-25, 0, 0}},
                                                        {Chest, {-6, 8, 0}},
                                                        {Head, {-5, -8, 0}}});

// Crushing wave: both arms go up over the head, then slam down in a crouch.
const Pose kWaveRaised = with(rest(), {{UpperArmRight, {-170, 0, -14}},
                                       {UpperArmLeft, {-170, 0, 14}},
                                       {ForearmRight, {-25, 0, 0}},
                                       {ForearmLeft, {-25, 0, 0}},
                                       {Chest, {-12, 0, 0}},
                                       {Head, {-12, 0, 0}},
                                       {ThighRight, {-18, 0, 0}},
                                       {ThighLeft, {-18, 0, 0}},
                                       {ShinRight, {32, 0, 0}},
                                       {ShinLeft, {32, 0, 0}}});
const Pose kWaveSlammed = with(rest(), {{UpperArmRight, {-40, 0, -10}},
                                        {UpperArmLeft, {-40, 0, 10}},
                                        {ForearmRight, {-10, 0, 0}},
                                        {ForearmLeft, {-10, 0, 0}},
                                        {Chest, {28, 0, 0}},
                                        {Head, {-10, 0, 0}},
                                        {ThighRight, {-45, 0, 0}},
                                        {ThighLeft, {-45, 0, 0}},
                                        {ShinRight, {70, 0, 0}},
                                        {ShinLeft, {70, 0, 0}}});

// Waveform: the left arm rises out to the side, then sweeps across.
const Pose kWaveformRaised = with(rest(), {{UpperArmLeft, {-25, 0, 115}},
                                           {ForearmLeft, {-30, 0, 0}},
                                           {UpperArmRight, {-20, 0, -12}},
                                           {ForearmRight, {-30, 0, 0}},
                                           {Chest, {0, 22, 0}},
                                           {Head, {0, -15, 0}},
                                           {ThighLeft, {8, 0, 0}},
                                           {ThighRight, {-8, 0, 0}}});
const Pose kWaveformSwept = with(rest(), {{UpperArmLeft, {-95, -45, 20}},
                                          {ForearmLeft, {-10, 0, 0}},
                                          {UpperArmRight, {10, 0, -10}},
                                          {ForearmRight, {-20, 0, 0}},
                                          {Chest, {0, -25, 0}},
                                          {Head, {0, 15, 0}},
                                          {ThighLeft, {-8, 0, 0}},
                                          {ThighRight, {8, 0, 0}}});

// Dying: the actor topples backwards (the pelvis pitches back 90 degrees,
// faster and faster), curls up while falling, lands, bounces a little and
// settles on its back with arms spread and knees raised.
const Pose kFalling = with(rest(), {{Chest, {18, 0, 0}},
                                    {Head, {25, 0, 0}},
                                    {UpperArmRight, {-60, 0, -40}},
                                    {UpperArmLeft, {-60, 0, 40}},
                                    {ForearmRight, {-30, 0, 0}},
                                    {ForearmLeft, {-30, 0, 0}},
                                    {ThighRight, {-30, 0, 0}},
                                    {ThighLeft, {-20, 0, 0}},
                                    {ShinRight, {45, 0, 0}},
                                    {ShinLeft, {35, 0, 0}}});
const Pose kLanding = with(rest(), {{Chest, {8, 0, 0}},
                                    {Head, {10, 0, 0}},
                                    {UpperArmRight, {-30, 0, -75}},
                                    {UpperArmLeft, {-30, 0, 75}},
                                    {ForearmRight, {-25, 0, 0}},
                                    {ForearmLeft, {-25, 0, 0}},
                                    {ThighRight, {-25, 0, 0}},
                                    {ThighLeft, {-15, 0, 0}},
                                    {ShinRight, {40, 0, 0}},
                                    {ShinLeft, {25, 0, 0}}});
const Pose kLying = with(rest(), {{Pelvis, {-90, 0, 0}},
                                  {Head, {-5, 12, 0}},
                                  {UpperArmRight, {-8, 0, -70}},
                                  {UpperArmLeft, {-8, 0, 65}},
                                  {ForearmRight, {-20, 0, 0}},
                                  {ForearmLeft, {-15, 0, 0}},
                                  {ThighRight, {-18, 0, 0}},
                                  {ThighLeft, {-6, 0, 0}},
                                  {ShinRight, {32, 0, 0}},
                                  {ShinLeft, {10, 0, 0}}});

Pose dying(float phase) {
    Pose p = keyed({{0.0f, rest()}, {0.45f, kFalling}, {0.75f, kLanding}, {1.0f, kLying}}, phase);
    const float fall = std::min(1.0f, (phase / 0.75f) * (phase / 0.75f));
    float pitch = -90.0f * fall;
    if (phase > 0.75f) {
        pitch += 7.0f * std::sin(kPi * (phase - 0.75f) / 0.25f);
    }
    p.angles[Pelvis] = {pitch, 0, 0};
    return p;
}

struct Clip {
    const char* name;  // the value of its "animation.name.*" key
    int keyCount;      // frames on the timeline
    bool loops;        // last frame repeats the first
    std::function<Pose(float)> pose;
};

std::vector<Clip> clips() {
    const auto between = [](std::vector<std::pair<float, Pose>> keys) {
        return [keys](float phase) { return keyed(keys, phase); };
    };
    return {
        {"Idle", 9, true, idle},
        {"Run", 13, true, run},
        {"FireballWindup", 7, false, between({{0.0f, rest()}, {1.0f, kFireballCocked}})},
        {"FireballBackswing", 9, false,
         between({{0.0f, kFireballCocked}, {0.35f, kFireballThrown}, {1.0f, rest()}})},
        {"ChainLightningWindup", 7, false, between({{0.0f, rest()}, {1.0f, kLightningPointing}})},
        {"ChainLightningBackswing", 8, false,
         between({{0.0f, kLightningPointing}, {0.3f, kLightningRecoil}, {1.0f, rest()}})},
        {"CrushingWaveWindup", 7, false, between({{0.0f, rest()}, {1.0f, kWaveRaised}})},
        {"CrushingWaveBackswing", 9, false,
         between({{0.0f, kWaveRaised}, {0.3f, kWaveSlammed}, {1.0f, rest()}})},
        {"WaveformWindup", 7, false, between({{0.0f, rest()}, {1.0f, kWaveformRaised}})},
        {"WaveformBackswing", 9, false,
         between({{0.0f, kWaveformRaised}, {0.35f, kWaveformSwept}, {1.0f, rest()}})},
        {"Dying", 17, false, dying},
        {"Dead", 2, false, [](float) { return kLying; }},
    };
}

struct Frame {
    glm::vec3 position[kBoneCount];
    glm::quat orientation[kBoneCount];
};

// Model-space bone transforms of a pose, lifted or lowered so that the
// lowest point of the skinned mesh rests on y = 0.
Frame solve(const Pose& pose, const MeshBuilder& mesh) {
    Frame frame;
    for (std::uint32_t b = 0; b < kBoneCount; ++b) {
        const glm::quat local = rotation(pose.angles[b]);
        const int parent = kBones[b].parent;
        if (parent < 0) {
            frame.orientation[b] = local;
            frame.position[b] = kBones[b].bind;
        } else {
            frame.orientation[b] = glm::normalize(frame.orientation[parent] * local);
            frame.position[b] =
                frame.position[parent] + frame.orientation[parent] * (kBones[b].bind - kBones[parent].bind);
        }
    }
    float lowest = std::numeric_limits<float>::max();
    for (const BakeVertex& v : mesh.vertices()) {
        const auto skinAt = [&](std::uint32_t b) {
            return frame.position[b] + frame.orientation[b] * (v.position - kBones[b].bind);
        };
        const glm::vec3 p = v.weight1 * skinAt(v.bone1) + v.weight2 * skinAt(v.bone2);
        lowest = std::min(lowest, p.y);
    }
    for (glm::vec3& position : frame.position) {
        position.y -= lowest;
    }
    return frame;
}

}  // namespace

std::vector<unsigned char> actorMeshFile() {
    const MeshBuilder mesh = buildActorMesh();

    // The timeline: the bind pose, then every clip's frames in turn.
    std::vector<Frame> frames;
    Frame bind;
    for (std::uint32_t b = 0; b < kBoneCount; ++b) {
        bind.position[b] = kBones[b].bind;
        bind.orientation[b] = glm::quat(1, 0, 0, 0);
    }
    frames.push_back(bind);
    std::vector<std::pair<std::string, std::pair<float, float>>> ranges;
    for (const Clip& clip : clips()) {
        const auto first = static_cast<float>(frames.size());
        for (int k = 0; k < clip.keyCount; ++k) {
            if (clip.loops && k == clip.keyCount - 1) {
                frames.push_back(frames[static_cast<std::size_t>(first)]);
                continue;
            }
            const float phase = static_cast<float>(k) / static_cast<float>(clip.keyCount - 1);
            frames.push_back(solve(clip.pose(phase), mesh));
        }
        ranges.push_back({clip.name, {first, static_cast<float>(frames.size() - 1)}});
    }

    ByteWriter out;
    writeSkeletalVertices(mesh, out);
    writeTriangles(mesh, out);
    out.u32(kBoneCount);
    out.u32(static_cast<std::uint32_t>(frames.size() - 1));
    for (const BoneInfo& bone : kBones) {
        out.text(bone.name);
        out.u32(bone.parent < 0 ? 0xffffffffu : static_cast<std::uint32_t>(bone.parent));
    }
    for (std::uint32_t b = 0; b < kBoneCount; ++b) {
        for (const Frame& frame : frames) {
            out.direction(frame.position[b]);
            out.rotation(frame.orientation[b]);
        }
    }
    out.u32(static_cast<std::uint32_t>(2 * ranges.size()));
    for (const auto& range : ranges) {
        out.text("START_" + range.first);
        out.f32(range.second.first);
        out.text("END_" + range.first);
        out.f32(range.second.second);
    }
    return out.bytes();
}

}  // namespace bake

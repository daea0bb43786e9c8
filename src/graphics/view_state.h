#pragma once
// The renderer's view of the world this frame: the matrices the uniform step
// sends, the camera frustum and the light. One per process; the render
// processor writes it, the cursor pick reads it.
#include <array>
#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

// A plane through `point` whose `normal` points into the frustum.
struct FrustumPlane {
    glm::vec3 point{0.0f};
    glm::vec3 normal{0.0f};
};

// Near, far, left, right, top, bottom. All-zero planes (the start) accept
// every sphere, so nothing is culled before the first main pass.
using FrustumPlanes = std::array<FrustumPlane, 6>;

struct ViewState {
    glm::mat4 model{1.0f};
    glm::mat4 view{1.0f};
    glm::mat4 projection{1.0f};
    glm::vec3 eye{0.0f};
    glm::vec3 viewDirection{0.0f, 0.0f, -1.0f};  // unit length
    float near = 2.0f;
    float far = 100.0f;
    float fieldOfView = 45.0f;  // degrees, vertical
    float aspect = 1.0f;        // width / height
    FrustumPlanes frustumPlanes{};
    glm::vec3 lightDirection{0.0f, -1.0f, 0.0f};  // unit length, the way the light travels
    glm::mat4 lightViewProjection{1.0f};
    // The camera's view and projection of the last main pass (the shadow
    // pass overwrites view and projection in between); the cursor pick uses these.
    glm::mat4 cameraView{1.0f};
    glm::mat4 cameraProjection{1.0f};

    static ViewState& instance();
};

// A world-space ray with a unit direction.
struct WorldRay {
    glm::vec3 origin{0.0f};
    glm::vec3 direction{0.0f, 0.0f, -1.0f};
};

// Window or framebuffer extent in pixels; drawing needs both sides positive.
struct ScreenSize {
    int width = 0;
    int height = 0;
    bool hasArea() const { return width > 0 && height > 0; }
};

// The unit vector along v, or fallback when v has no usable length.
glm::vec3 unitOr(const glm::vec3& v, const glm::vec3& fallback);

// The up vector a look-at along `direction` can use: world up (0, 1, 0),
// unless the direction is (nearly) vertical, where world up gives no side
// axis; then (0, 0, -1), so that a view straight down shows -z at the top
// of the screen, as the follow camera (which sits south of the player) does.
glm::vec3 lookUpVector(const glm::vec3& direction);

// A look-at matrix from eye along direction that is finite for every
// direction: vertical ones use lookUpVector, a zero one looks along -z.
glm::mat4 safeLookAlong(const glm::vec3& eye, const glm::vec3& direction);

// Points the camera of `state` from eye along direction for a framebuffer
// of the given size: projection, view, frustum planes and the camera matrices
// the cursor pick reads. A direction without length keeps the previous one;
// a framebuffer without area changes nothing.
void placeCameraView(ViewState& state, const glm::vec3& eye, const glm::vec3& direction,
                     ScreenSize framebuffer);

// The six planes of the perspective frustum from eye along direction (any
// length but zero), with a vertical field of view in degrees and aspect =
// width / height. Normals point inwards.
FrustumPlanes computeFrustumPlanes(const glm::vec3& eye, const glm::vec3& direction, float near, float far,
                                   float fieldOfViewDegrees, float aspect);

// False when the sphere lies wholly outside one of the planes: for some plane
// dot(normal, center - point) < -radius.
bool sphereInFrustum(const FrustumPlanes& planes, const glm::vec3& center, float radius);

// The world ray through window pixel (x, y) (origin at the top-left, y
// down) for a window of the given size under projection x view: from the
// near plane towards the far plane. A window without area or a singular
// matrix yields the ray from fallbackEye along fallbackDirection.
WorldRay unprojectPixel(double x, double y, ScreenSize window, const glm::mat4& projection,
                        const glm::mat4& view, const glm::vec3& fallbackEye,
                        const glm::vec3& fallbackDirection);

// The world ray under the cursor at window pixel (x, y), from the camera of
// the last frame drawn and the Context's window size. Used by the input and
// skill code to pick points on the ground.
WorldRay unprojectCursor(double x, double y);

// The Context's window size in screen pixels and its framebuffer size in
// pixels; zero sizes without a window (or while it is minimised).
ScreenSize currentWindowSize();
ScreenSize currentFramebufferSize();

#include "graphics/view_state.h"

#include <GLFW/glfw3.h>

#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/matrix.hpp>

#include "context/context.h"

namespace {
const glm::vec3 kWorldUp(0.0f, 1.0f, 0.0f);
const glm::vec3 kNorth(0.0f, 0.0f, -1.0f);

bool finite(const glm::vec4& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}
}  // namespace

ViewState& ViewState::instance() {
    static ViewState state;
    return state;
}

glm::vec3 unitOr(const glm::vec3& v, const glm::vec3& fallback) {
    const float length = glm::length(v);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        return fallback;
    }
    return v / length;
}

glm::vec3 lookUpVector(const glm::vec3& direction) {
    const glm::vec3 forward = unitOr(direction, kNorth);
    // Within about 0.06 degrees of vertical the side axis is too short to trust.
    if (glm::length(glm::cross(forward, kWorldUp)) < 1e-3f) {
        return kNorth;
    }
    return kWorldUp;
}

glm::mat4 safeLookAlong(const glm::vec3& eye, const glm::vec3& direction) {
    const glm::vec3 forward = unitOr(direction, kNorth);
    return glm::lookAt(eye, eye + forward, lookUpVector(forward));
}

FrustumPlanes computeFrustumPlanes(const glm::vec3& eye, const glm::vec3& direction, float near, float far,
                                   float fieldOfViewDegrees, float aspect) {
    const glm::vec3 d = unitOr(direction, kNorth);
    const glm::vec3 right = glm::normalize(glm::cross(d, lookUpVector(d)));
    const glm::vec3 up = glm::cross(right, d);
    const float tangent = std::tan(glm::radians(fieldOfViewDegrees * 0.5f));
    const float halfHeight = far * tangent;
    const float halfWidth = halfHeight * aspect;
    const glm::vec3 farCentre = eye + d * far;

    // The side planes pass through the eye and one edge of the far rectangle;
    // each normal is the cross product of the edge's direction and the ray to
    // the edge's midpoint, oriented towards the frustum's axis.
    const auto sidePlane = [&](const glm::vec3& edgeMidpoint, const glm::vec3& edgeDirection) {
        glm::vec3 normal = glm::normalize(glm::cross(edgeDirection, edgeMidpoint - eye));
        if (glm::dot(normal, farCentre - edgeMidpoint) < 0.0f) {
            normal = -normal;
        }
        return FrustumPlane{eye, normal};
    };

    FrustumPlanes planes;
    planes[0] = FrustumPlane{eye + d * near, d};
    planes[1] = FrustumPlane{farCentre, -d};
    planes[2] = sidePlane(farCentre - right * halfWidth, up);
    planes[3] = sidePlane(farCentre + right * halfWidth, up);
    planes[4] = sidePlane(farCentre + up * halfHeight, right);
    planes[5] = sidePlane(farCentre - up * halfHeight, right);
    return planes;
}

void placeCameraView(ViewState& state, const glm::vec3& eye, const glm::vec3& direction,
                     ScreenSize framebuffer) {
    if (!framebuffer.hasArea()) {
        return;
    }
    state.aspect = static_cast<float>(framebuffer.width) / static_cast<float>(framebuffer.height);
    state.projection = glm::perspective(glm::radians(state.fieldOfView), state.aspect, state.near, state.far);
    state.eye = eye;
    state.viewDirection = unitOr(direction, state.viewDirection);
    state.view = safeLookAlong(state.eye, state.viewDirection);
    state.frustumPlanes = computeFrustumPlanes(state.eye, state.viewDirection, state.near, state.far,
                                               state.fieldOfView, state.aspect);
    state.cameraView = state.view;
    state.cameraProjection = state.projection;
}

bool sphereInFrustum(const FrustumPlanes& planes, const glm::vec3& center, float radius) {
    for (const FrustumPlane& plane : planes) {
        if (glm::dot(plane.normal, center - plane.point) < -radius) {
            return false;
        }
    }
    return true;
}

WorldRay unprojectPixel(double x, double y, ScreenSize window, const glm::mat4& projection,
                        const glm::mat4& view, const glm::vec3& fallbackEye,
                        const glm::vec3& fallbackDirection) {
    const WorldRay fallback{fallbackEye, unitOr(fallbackDirection, kNorth)};
    if (!window.hasArea()) {
        return fallback;
    }
    const glm::mat4 inverse = glm::inverse(projection * view);
    const float ndcX = static_cast<float>(2.0 * x / window.width - 1.0);
    const float ndcY = static_cast<float>(2.0 * (window.height - y) / window.height - 1.0);
    const glm::vec4 nearPoint = inverse * glm::vec4(ndcX, ndcY, -1.0f, 1.0f);
    const glm::vec4 farPoint = inverse * glm::vec4(ndcX, ndcY, 1.0f, 1.0f);
    if (!finite(nearPoint) || !finite(farPoint) || nearPoint.w == 0.0f || farPoint.w == 0.0f) {
        return fallback;
    }
    const glm::vec3 origin = glm::vec3(nearPoint) / nearPoint.w;
    const glm::vec3 far = glm::vec3(farPoint) / farPoint.w;
    const glm::vec3 direction = unitOr(far - origin, glm::vec3(0.0f));
    if (direction == glm::vec3(0.0f)) {
        return fallback;
    }
    return WorldRay{origin, direction};
}

WorldRay unprojectCursor(double x, double y) {
    const ViewState& state = ViewState::instance();
    return unprojectPixel(x, y, currentWindowSize(), state.cameraProjection, state.cameraView, state.eye,
                          state.viewDirection);
}

ScreenSize currentWindowSize() {
    ScreenSize size;
    if (Context::exists()) {
        if (GLFWwindow* window = Context::instance().getWindow()) {
            glfwGetWindowSize(window, &size.width, &size.height);
        }
    }
    return size;
}

ScreenSize currentFramebufferSize() {
    ScreenSize size;
    if (Context::exists()) {
        if (GLFWwindow* window = Context::instance().getWindow()) {
            glfwGetFramebufferSize(window, &size.width, &size.height);
        }
    }
    return size;
}

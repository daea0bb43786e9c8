#include "graphics/view_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

namespace {
bool finite(const glm::mat4& m) {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            if (!std::isfinite(m[c][r])) {
                return false;
            }
        }
    }
    return true;
}

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}
}  // namespace

TEST(FrustumPlanes, KeepSpheresInsideAndTouchingAndRejectThoseFullyOutside) {
    // At the origin looking down -z, a square window.
    const FrustumPlanes planes =
        computeFrustumPlanes(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -5.0f), 2.0f, 100.0f, 45.0f, 1.0f);
    const float tangent = std::tan(glm::radians(22.5f));
    struct Case {
        glm::vec3 center;
        float radius;
        bool visible;
    };
    const Case cases[] = {
        {{0, 0, -50}, 1.0f, true},                    // in the middle
        {{0, 0, 10}, 5.0f, false},                    // behind the camera
        {{0, 0, 10}, 12.5f, true},                    // behind, but reaching past the near plane
        {{0, 0, -1}, 0.5f, false},                    // between the eye and the near plane
        {{0, 0, -101}, 0.9f, false},                  // beyond the far plane
        {{0, 0, -101}, 1.1f, true},                   // reaching back over it
        {{0, 60, -50}, 1.0f, false},                  // above the top plane
        {{-60, 0, -50}, 1.0f, false},                 // left of the left plane
        {{50 * tangent + 0.5f, 0, -50}, 1.0f, true},  // straddling the right plane
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sphereInFrustum(planes, c.center, c.radius), c.visible)
            << c.center.x << ", " << c.center.y << ", " << c.center.z << " r " << c.radius;
    }
    // The aspect ratio widens the side planes only.
    const FrustumPlanes wide =
        computeFrustumPlanes(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f), 2.0f, 100.0f, 45.0f, 2.0f);
    EXPECT_TRUE(sphereInFrustum(wide, glm::vec3(-80 * tangent, 0, -50), 1.0f));
    EXPECT_FALSE(sphereInFrustum(wide, glm::vec3(0, 80 * tangent, -50), 1.0f));
    // Before the first frame every plane is zero: everything is visible.
    EXPECT_TRUE(sphereInFrustum(FrustumPlanes{}, glm::vec3(1e6f), 0.0f));
}

TEST(FrustumPlanes, StayFiniteForAViewStraightDownOrWithoutDirection) {
    for (const glm::vec3& direction : {glm::vec3(0, -20, 0), glm::vec3(0, 3, 0), glm::vec3(0.0f)}) {
        const FrustumPlanes planes =
            computeFrustumPlanes(glm::vec3(-50, 20, 0), direction, 2.0f, 100.0f, 45.0f, 1.5f);
        for (const FrustumPlane& plane : planes) {
            EXPECT_TRUE(std::isfinite(plane.normal.x) && std::isfinite(plane.normal.y) &&
                        std::isfinite(plane.normal.z));
            EXPECT_NEAR(glm::length(plane.normal), 1.0f, 1e-4f);
        }
    }
    // Looking straight down from (-50, 20, 0): the ground below is seen, the sky is not.
    const FrustumPlanes down =
        computeFrustumPlanes(glm::vec3(-50, 20, 0), glm::vec3(0, -20, 0), 2.0f, 100.0f, 45.0f, 1.5f);
    EXPECT_TRUE(sphereInFrustum(down, glm::vec3(-50, 0, 0), 1.0f));
    EXPECT_FALSE(sphereInFrustum(down, glm::vec3(-50, 40, 0), 1.0f));
}

TEST(SafeLookAlong, MatchesTheOrdinaryLookAtAndNeverProducesNaN) {
    const glm::vec3 eye(1, 2, 3);
    const glm::vec3 slanted(0.3f, -1.0f, -0.5f);
    const glm::mat4 expected = glm::lookAt(eye, eye + glm::normalize(slanted), glm::vec3(0, 1, 0));
    const glm::mat4 actual = safeLookAlong(eye, slanted);
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            EXPECT_NEAR(actual[c][r], expected[c][r], 1e-5f);
        }
    }
    for (const glm::vec3& direction :
         {glm::vec3(0, -20, 0), glm::vec3(0, 1, 0), glm::vec3(0.0f), glm::vec3(1e-9f, -1.0f, 0.0f)}) {
        EXPECT_TRUE(finite(safeLookAlong(eye, direction)));
    }
    // Straight down, the top of the screen shows -z (north), as the follow camera does.
    const glm::mat4 down = safeLookAlong(glm::vec3(0, 20, 0), glm::vec3(0, -1, 0));
    const glm::vec4 north = down * glm::vec4(0, 0, -5, 1);
    EXPECT_GT(north.y, 0.0f);
    EXPECT_NEAR(north.x, 0.0f, 1e-5f);
}

TEST(UnprojectPixel, GivesTheRayThroughTheCursorOfAKnownCamera) {
    // The camera at (0, 10, 0) looking down -z; window 800 x 600.
    const ScreenSize window{800, 600};
    const glm::vec3 eye(0, 10, 0);
    const glm::mat4 view = glm::lookAt(eye, eye + glm::vec3(0, 0, -1), glm::vec3(0, 1, 0));
    const glm::mat4 projection = glm::perspective(glm::radians(45.0f), 800.0f / 600.0f, 2.0f, 100.0f);
    const glm::vec3 fallbackEye(7.0f);
    const glm::vec3 fallbackDirection(0, -1, 0);

    // The centre of the window: from the near plane straight ahead.
    const WorldRay centre =
        unprojectPixel(400, 300, window, projection, view, fallbackEye, fallbackDirection);
    expectNear(centre.origin, glm::vec3(0, 10, -2), 1e-4f);
    expectNear(centre.direction, glm::vec3(0, 0, -1), 1e-5f);

    // The top edge (y = 0 is the top row) is 22.5 degrees above the axis;
    // the right edge is the aspect times as far out.
    const float tangent = std::tan(glm::radians(22.5f));
    const WorldRay top = unprojectPixel(400, 0, window, projection, view, fallbackEye, fallbackDirection);
    expectNear(top.direction, glm::normalize(glm::vec3(0, tangent, -1)), 1e-5f);
    expectNear(top.origin, glm::vec3(0, 10 + 2 * tangent, -2), 1e-4f);
    const WorldRay corner =
        unprojectPixel(800, 600, window, projection, view, fallbackEye, fallbackDirection);
    expectNear(corner.direction, glm::normalize(glm::vec3(tangent * 4.0f / 3.0f, -tangent, -1)), 1e-5f);

    // No window area, or a matrix without inverse: the fallback ray, never NaN.
    for (const ScreenSize& empty : {ScreenSize{0, 0}, ScreenSize{800, 0}, ScreenSize{0, 600}}) {
        const WorldRay ray =
            unprojectPixel(400, 300, empty, projection, view, fallbackEye, fallbackDirection);
        EXPECT_EQ(ray.origin, fallbackEye);
        EXPECT_EQ(ray.direction, fallbackDirection);
    }
    const WorldRay singular =
        unprojectPixel(400, 300, window, glm::mat4(0.0f), view, fallbackEye, fallbackDirection);
    EXPECT_EQ(singular.origin, fallbackEye);
    EXPECT_EQ(singular.direction, fallbackDirection);
}

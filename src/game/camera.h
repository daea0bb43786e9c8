#pragma once
// The eye of the player, shared by the input processor (which moves it) and
// the render processor (which builds the view from it).
#include <glm/vec3.hpp>

struct Camera {
    glm::vec3 position{0.0f, 0.0f, 0.0f};
    glm::vec3 direction{0.0f, 0.0f, 0.0f};  // view direction, not kept normalised

    // Where a match begins: above the Blue half, looking straight down (the
    // follow gives it its slant from the first frame of actor control on).
    inline static const glm::vec3 kStartPosition{-50.0f, 20.0f, 0.0f};
    inline static const glm::vec3 kStartDirection{0.0f, -20.0f, 0.0f};

    static Camera& instance() {
        static Camera camera;
        return camera;
    }
};

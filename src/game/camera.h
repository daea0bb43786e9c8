#pragma once
// The eye of the player, shared by the input processor (which moves it) and
// the render processor (which builds the view from it).
#include <glm/vec3.hpp>

struct Camera {
    glm::vec3 position{0.0f, 0.0f, 0.0f};
    glm::vec3 direction{0.0f, 0.0f, 0.0f};  // view direction, not kept normalised

    static Camera& instance() {
        static Camera camera;
        return camera;
    }
};

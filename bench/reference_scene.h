#pragma once
// The yardstick for the game's frames: a bare shadowed scene that any machine
// can draw beside the game in the same run. A floor and 300 boxes; the boxes
// (3,600 triangles) go into a 1024 x 1024 depth-only shadow map, then the
// floor and the boxes (19,800 triangles) are lit by one sun with one
// shadow-map comparison per pixel, and a full-screen textured quad is blended
// over everything. The camera sits where the game's follow camera sits
// behind the player (32 up, 24 south, 45 degrees of vertical field of view).
//
// Needs the OpenGL context current for its whole life. Draws with raw
// OpenGL and its own programs into the engine's shadow target (the
// process's RenderTargets, made on first use), so it depends on nothing of
// the game but the context and that target.
#include <cstddef>
#include <cstdint>

class ReferenceScene {
  public:
    static constexpr std::size_t kShadowTriangles = 3600;
    static constexpr std::size_t kLitTriangles = 19800;

    ReferenceScene();
    ~ReferenceScene();
    ReferenceScene(const ReferenceScene&) = delete;
    ReferenceScene& operator=(const ReferenceScene&) = delete;

    // Draws one frame into the window's framebuffer (width x height pixels);
    // presenting it is the caller's. Sets every state it relies on, and leaves
    // the window's framebuffer bound through the render targets.
    void draw(int width, int height);

    // False when a program did not build or the shadow target is incomplete
    // (said on standard error at construction).
    bool usable() const { return ready; }

  private:
    uint32_t litProgram = 0;
    uint32_t shadowProgram = 0;
    uint32_t quadProgram = 0;
    uint32_t sceneArray = 0;
    uint32_t sceneBuffer = 0;
    uint32_t sceneIndices = 0;
    uint32_t quadArray = 0;
    uint32_t quadBuffer = 0;
    uint32_t quadTexture = 0;
    int32_t boxIndexCount = 0;
    int32_t floorIndexCount = 0;
    bool ready = false;
};

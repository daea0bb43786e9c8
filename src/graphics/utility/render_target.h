#pragma once
// The framebuffers the renderer draws into: the window's, and the shadow map
// (a depth texture the main pass samples with depth comparison). One per
// process; start-up creates it once the window's context exists.
#include <cstdint>

#include "utils/non_copyable.h"

class RenderTargets : private NonCopyable {
  public:
    // Framebuffer numbers as `active` records them (1 is kept for an HDR
    // colour target the game does not use).
    enum Target : int32_t { Window = 0, Shadow = 2 };

    // Side of the square shadow map in texels.
    static constexpr int32_t kShadowMapSize = 1024;

    // The process's targets, created on first use: needs the OpenGL context
    // current then.
    static RenderTargets& instance();
    // Deletes the targets' OpenGL names; call it while the context that made
    // them is still current. A later instance() creates new ones. Without a
    // release the names go with the context.
    static void release();

    // Binds the target's framebuffer unless it is the active one already.
    // Anyone who binds framebuffers behind this record's back must rebind the
    // window's through it (or call forgetActive) before relying on it.
    void activate(Target target);
    // Makes the next activate bind unconditionally.
    void forgetActive() { active = -1; }
    Target activeTarget() const { return static_cast<Target>(active); }

    // The shadow map's depth texture (compare mode: sample it with a shadow sampler).
    uint32_t shadowDepthTexture() const { return shadowTexture; }
    // False when the driver refused the shadow framebuffer (after an error
    // record at creation): the shadow pass is then skipped.
    bool shadowUsable() const { return shadowComplete; }

  private:
    RenderTargets();
    ~RenderTargets();

    int32_t active = -1;
    uint32_t shadowFramebuffer = 0;
    uint32_t shadowTexture = 0;
    bool shadowComplete = false;
};

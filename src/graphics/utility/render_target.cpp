#include "graphics/utility/render_target.h"

#include <GL/glew.h>

#include "utils/log.h"

namespace {
// A plain pointer rather than a static object: nothing may delete OpenGL
// names at process exit, when the context is gone.
RenderTargets* targetsInstance = nullptr;
}  // namespace

RenderTargets& RenderTargets::instance() {
    if (targetsInstance == nullptr) {
        targetsInstance = new RenderTargets();
    }
    return *targetsInstance;
}

void RenderTargets::release() {
    delete targetsInstance;
    targetsInstance = nullptr;
}

RenderTargets::~RenderTargets() {
    // Deleting the bound framebuffer rebinds the window's.
    glDeleteFramebuffers(1, &shadowFramebuffer);
    glDeleteTextures(1, &shadowTexture);
}

RenderTargets::RenderTargets() {
    LOG(debug) << "Creating render targets...";
    glGenTextures(1, &shadowTexture);
    glBindTexture(GL_TEXTURE_2D, shadowTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, kShadowMapSize, kShadowMapSize, 0,
                 GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    glBindTexture(GL_TEXTURE_2D, 0);

    glGenFramebuffers(1, &shadowFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, shadowFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, shadowTexture, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    shadowComplete = status == GL_FRAMEBUFFER_COMPLETE;
    if (!shadowComplete) {
        LOG(error) << "Shadow map framebuffer is incomplete [0x" << std::hex << status << "]!";
    }

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    active = Window;
    LOG(debug) << "Render targets created.";
}

void RenderTargets::activate(Target target) {
    if (active == target) {
        return;
    }
    const GLuint framebuffer = target == Shadow ? shadowFramebuffer : 0;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    active = target;
}

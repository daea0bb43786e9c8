#pragma once
// Framebuffers for GL tests that draw the way the render passes do, without
// touching the window: a colour target with a depth buffer, and a depth-only
// target whose depth texture is set up like the shadow map (compare mode).
#include <GL/glew.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <glm/vec4.hpp>
#include <vector>

namespace offscreen {

class ColorTarget {
  public:
    ColorTarget(int width, int height) : width(width), height(height) {
        glGenRenderbuffers(1, &color);
        glBindRenderbuffer(GL_RENDERBUFFER, color);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    ~ColorTarget() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteRenderbuffers(1, &color);
        glDeleteRenderbuffers(1, &depth);
    }
    ColorTarget(const ColorTarget&) = delete;
    ColorTarget& operator=(const ColorTarget&) = delete;

    // Binds it, sets the viewport and clears colour (to clearColor) and depth.
    void begin(const glm::vec4& clearColor = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f)) const {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glViewport(0, 0, width, height);
        glClearColor(clearColor.r, clearColor.g, clearColor.b, clearColor.a);
        glDepthMask(GL_TRUE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // RGBA bytes, bottom row first.
    std::vector<unsigned char> pixels() const {
        std::vector<unsigned char> data(static_cast<std::size_t>(width) * height * 4);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, data.data());
        return data;
    }
    // The colour at a point in normalised device coordinates, 0 to 1.
    glm::vec4 at(float x, float y) const {
        unsigned char rgba[4] = {};
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glReadPixels(static_cast<GLint>((x + 1.0f) * 0.5f * width),
                     static_cast<GLint>((y + 1.0f) * 0.5f * height), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return glm::vec4(rgba[0], rgba[1], rgba[2], rgba[3]) / 255.0f;
    }
    // Pixels whose colour differs from the clear colour's bytes.
    std::size_t drawnPixels(const glm::vec4& clearColor = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f)) const {
        const std::vector<unsigned char> data = pixels();
        std::size_t count = 0;
        for (std::size_t i = 0; i < data.size(); i += 4) {
            for (int c = 0; c < 3; ++c) {
                const int clear = static_cast<int>(clearColor[c] * 255.0f + 0.5f);
                if (std::abs(static_cast<int>(data[i + c]) - clear) > 1) {
                    ++count;
                    break;
                }
            }
        }
        return count;
    }

    const int width;
    const int height;
    GLuint framebuffer = 0;
    bool complete = false;

  private:
    GLuint color = 0;
    GLuint depth = 0;
};

// A depth texture of the shadow map's kind as the only attachment.
class ShadowTarget {
  public:
    explicit ShadowTarget(int size) : size(size) {
        glGenTextures(1, &depthTexture);
        glBindTexture(GL_TEXTURE_2D, depthTexture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, size, size, 0, GL_DEPTH_COMPONENT, GL_FLOAT,
                     nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture, 0);
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
        complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    ~ShadowTarget() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteTextures(1, &depthTexture);
    }
    ShadowTarget(const ShadowTarget&) = delete;
    ShadowTarget& operator=(const ShadowTarget&) = delete;

    void begin() const {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glViewport(0, 0, size, size);
        glDepthMask(GL_TRUE);
        glClear(GL_DEPTH_BUFFER_BIT);
    }
    // Texels nearer than the far plane (depth below 1).
    std::size_t drawnTexels() const {
        std::vector<float> depths(static_cast<std::size_t>(size) * size);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glReadPixels(0, 0, size, size, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
        std::size_t count = 0;
        for (const float depth : depths) {
            count += depth < 0.9999f ? 1 : 0;
        }
        return count;
    }

    const int size;
    GLuint framebuffer = 0;
    GLuint depthTexture = 0;
    bool complete = false;
};

}  // namespace offscreen

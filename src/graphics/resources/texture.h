#pragma once
// Two-dimensional textures decoded from image files, and the game-wide
// texture sampling method the player cycles through at run time.
#include <cstdint>
#include <string>

#include "utils/non_copyable.h"
#include "utils/resource_manager.h"
#include "utils/singleton.h"

// An RGBA8 OpenGL texture with a full mipmap chain. Owns its OpenGL name and
// deletes it on destruction, so it must be destroyed while the context that
// created it is current.
class Texture : private NonCopyable {
  public:
    Texture(uint32_t id, uint32_t width, uint32_t height)
        : textureId(id), pixelWidth(width), pixelHeight(height) {}
    ~Texture();

    uint32_t id() const { return textureId; }
    uint32_t width() const { return pixelWidth; }
    uint32_t height() const { return pixelHeight; }

  private:
    uint32_t textureId;
    uint32_t pixelWidth;
    uint32_t pixelHeight;
};

// One entry of the sampling-method cycle. minFilter is the OpenGL value for
// GL_TEXTURE_MIN_FILTER; the magnification filter follows it only for the two
// methods without mipmaps (OpenGL accepts no mipmap filter for magnification).
struct SamplingMethod {
    int32_t minFilter;
    bool setsMagnification;
    const char* shownAs;   // posted as a notification after the switch
    const char* loggedAs;  // logged at info on the switch
};

constexpr int32_t kSamplingMethodCount = 6;
// The method at index 0..5 (nearest, linear, then the four mipmap methods);
// other indices wrap around.
const SamplingMethod& samplingMethodAt(int32_t index);
// The index after index in the cycle (5 wraps to 0).
int32_t nextSamplingMethod(int32_t index);

// Loads every image registered for it (FreeImage decodes, the texture keeps
// the file path as its name) and owns the sampling method in force.
class TextureManager : public ResourceManager<Texture>, public Singleton<TextureManager> {
  public:
    // The resource name of the texture materials fall back to.
    static constexpr const char* kDefaultTextureName = "resources/textures/default/whiteOpaque.png";

    // name is both the image path and the key. An image FreeImage cannot read
    // or convert is reported and not registered. Needs the context current.
    void load(const std::string& name) override;

    // Advances the sampling method one step, logs it and applies it to every
    // loaded texture. Needs the context current.
    void toggleSamplingMethod();
    int32_t samplingMethod() const { return samplingMethodIndex; }

    // The default white texture, looked up once and then kept (nullptr after
    // one error record when it is missing).
    Texture* defaultTexture();

    // Bumped whenever textures are dropped, so holders of Texture pointers
    // (materials) know to resolve their names again.
    uint32_t generation() const { return dropGeneration; }

    // Drops every texture (deleting their OpenGL names: the context must be
    // current) and forgets the cached default texture.
    void clear();

  protected:
    std::string typeName() const override { return "Texture"; }

  private:
    int32_t samplingMethodIndex = 1;  // every texture is loaded with GL_LINEAR
    Texture* defaultTextureCache = nullptr;
    bool defaultTextureResolved = false;
    uint32_t dropGeneration = 0;
};

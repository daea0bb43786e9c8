#include "graphics/resources/texture.h"

#include <FreeImage.h>
#include <GL/glew.h>

#include <memory>

#include "utils/log.h"

namespace {
const SamplingMethod kSamplingMethods[kSamplingMethodCount] = {
    {GL_NEAREST, true, "NEAREST_NEIGHBOUR", "Changing texture sampling method to: GL_NEAREST"},
    {GL_LINEAR, true, "LINEAR", "Changing texture sampling method to: GL_LINEAR"},
    {GL_NEAREST_MIPMAP_NEAREST, false, "NEAREST_MIPMAP, NEAREST_NEIGHBOUR",
     "Changing texture sampling method to: GL_NEAREST_MIPMAP_NEAREST"},
    {GL_NEAREST_MIPMAP_LINEAR, false, "NEAREST_MIPMAP, LINEAR",
     "Changing texture sampling method to: GL_NEAREST_MIPMAP_LINEAR"},
    {GL_LINEAR_MIPMAP_NEAREST, false, "LINEAR_MIPMAP, NEAREST_NEIGHBOUR",
     "Changing texture sampling method to: GL_LINEAR_MIPMAP_NEAREST"},
    {GL_LINEAR_MIPMAP_LINEAR, false, "LINEAR_MIPMAP, LINEAR",
     "Changing texture sampling method to: GL_LINEAR_MIPMAP_LINEAR"},
};

int32_t wrapIndex(int32_t index) {
    const int32_t wrapped = index % kSamplingMethodCount;
    return wrapped < 0 ? wrapped + kSamplingMethodCount : wrapped;
}

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;
}  // namespace

const SamplingMethod& samplingMethodAt(int32_t index) {
    return kSamplingMethods[wrapIndex(index)];
}

int32_t nextSamplingMethod(int32_t index) {
    return wrapIndex(index + 1);
}

Texture::~Texture() {
    if (textureId != 0) {
        glDeleteTextures(1, &textureId);
    }
}

void TextureManager::load(const std::string& name) {
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(name.c_str(), 0);
    if (format == FIF_UNKNOWN) {
        format = FreeImage_GetFIFFromFilename(name.c_str());
    }
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) {
        LOG(error) << "Unreadable image file: \"" << name << "\"!";
        return;
    }
    const Bitmap loaded(FreeImage_Load(format, name.c_str(), 0));
    if (!loaded) {
        LOG(error) << "Unreadable image file: \"" << name << "\"!";
        return;
    }
    // Larger images would make an incomplete texture that samples black.
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    const uint32_t loadedWidth = FreeImage_GetWidth(loaded.get());
    const uint32_t loadedHeight = FreeImage_GetHeight(loaded.get());
    if (maxSize > 0 &&
        (loadedWidth > static_cast<uint32_t>(maxSize) || loadedHeight > static_cast<uint32_t>(maxSize))) {
        LOG(error) << "Image of " << loadedWidth << " x " << loadedHeight
                   << " pixels exceeds the largest texture (" << maxSize << " pixels a side): \"" << name
                   << "\"!";
        return;
    }
    const Bitmap converted(FreeImage_ConvertTo32Bits(loaded.get()));
    if (!converted || FreeImage_GetBits(converted.get()) == nullptr) {
        LOG(error) << "Image cannot be converted to 32 bits per pixel: \"" << name << "\"!";
        return;
    }
    const uint32_t width = FreeImage_GetWidth(converted.get());
    const uint32_t height = FreeImage_GetHeight(converted.get());
    if (width == 0 || height == 0 || FreeImage_GetPitch(converted.get()) != width * 4) {
        LOG(error) << "Image has an unexpected pixel layout: \"" << name << "\"!";
        return;
    }

    // Rows go up as FreeImage holds them: bottom row first, so v = 0 is the
    // bottom edge of the image; the bytes are BGRA on little-endian machines.
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                 GL_BGRA, GL_UNSIGNED_BYTE, FreeImage_GetBits(converted.get()));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glGenerateMipmap(GL_TEXTURE_2D);

    LOG(debug) << "Loaded texture [" << name << "] " << width << " x " << height << "...";
    add(name, std::make_unique<Texture>(id, width, height));
}

void TextureManager::toggleSamplingMethod() {
    const int32_t next = nextSamplingMethod(samplingMethodIndex);
    const SamplingMethod& method = samplingMethodAt(next);
    LOG(info) << method.loggedAs;
    samplingMethodIndex = next;
    for (const auto& [name, texture] : all()) {
        glBindTexture(GL_TEXTURE_2D, texture->id());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, method.minFilter);
        if (method.setsMagnification) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, method.minFilter);
        }
    }
}

Texture* TextureManager::defaultTexture() {
    if (!defaultTextureResolved) {
        defaultTextureCache = get(kDefaultTextureName);
        defaultTextureResolved = true;
    }
    return defaultTextureCache;
}

void TextureManager::clear() {
    ResourceManager<Texture>::clear();
    defaultTextureCache = nullptr;
    defaultTextureResolved = false;
    ++dropGeneration;
}

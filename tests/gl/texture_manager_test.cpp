#include <FreeImage.h>
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gl/graphics_scratch.h"
#include "graphics/resources/texture.h"
#include "support/log_capture.h"

using boost::log::trivial::error;
using boost::log::trivial::info;

namespace {
class TextureManagerTest : public ::testing::Test {
  protected:
    void SetUp() override { TextureManager::instance().clear(); }
    void TearDown() override { TextureManager::instance().clear(); }

    // Saves a width x 2 image of bpp bits whose bottom row (FreeImage's first
    // scan line) is grey value low and top row high; palettised images get a
    // grey ramp palette.
    std::string saveImage(const std::string& name, int bpp, FREE_IMAGE_FORMAT format, BYTE low, BYTE high) {
        FIBITMAP* bitmap = FreeImage_Allocate(3, 2, bpp);
        if (bpp == 8) {
            RGBQUAD* palette = FreeImage_GetPalette(bitmap);
            for (int i = 0; i < 256; ++i) {
                palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
            }
        }
        for (unsigned y = 0; y < 2; ++y) {
            BYTE* line = FreeImage_GetScanLine(bitmap, static_cast<int>(y));
            for (unsigned x = 0; x < 3 * static_cast<unsigned>(bpp / 8); ++x) {
                line[x] = y == 0 ? low : high;
            }
        }
        const std::string path = scratch.path(name);
        EXPECT_TRUE(FreeImage_Save(format, bitmap, path.c_str(), 0));
        FreeImage_Unload(bitmap);
        return path;
    }

    // The RGBA bytes of level 0 of texture, bottom row first.
    static std::vector<unsigned char> pixels(const Texture& texture) {
        std::vector<unsigned char> data(texture.width() * texture.height() * 4);
        glBindTexture(GL_TEXTURE_2D, texture.id());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, data.data());
        return data;
    }

    static GLint parameter(const Texture& texture, GLenum name) {
        glBindTexture(GL_TEXTURE_2D, texture.id());
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        return value;
    }

    GraphicsScratch scratch;
};
}  // namespace

TEST_F(TextureManagerTest, ImagesOfEveryDepthBecomeOpaqueRgbaBottomRowFirst) {
    const std::string paths[] = {saveImage("grey.png", 8, FIF_PNG, 10, 200),
                                 saveImage("colour.bmp", 24, FIF_BMP, 30, 220),
                                 saveImage("deep.tga", 32, FIF_TARGA, 40, 250)};
    LogCapture log;
    TextureManager& manager = TextureManager::instance();
    for (const std::string& path : paths) {
        manager.load(path);
    }
    EXPECT_EQ(log.count(LogCapture::Severity::error), 0u)
        << ::testing::PrintToString(log.messages(LogCapture::Severity::error));
    const std::pair<BYTE, BYTE> rows[] = {{10, 200}, {30, 220}, {40, 250}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(paths[i]);
        const Texture* texture = manager.get(paths[i]);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->width(), 3u);
        EXPECT_EQ(texture->height(), 2u);
        const std::vector<unsigned char> data = pixels(*texture);
        EXPECT_EQ(data[0], rows[i].first);        // v = 0 is the bottom row
        EXPECT_EQ(data[12 + 1], rows[i].second);  // first texel of the top row
        // Images without alpha come out opaque.
        if (i < 2) {
            for (std::size_t p = 3; p < data.size(); p += 4) {
                EXPECT_EQ(data[p], 255);
            }
        }
        EXPECT_EQ(parameter(*texture, GL_TEXTURE_WRAP_S), GL_REPEAT);
        EXPECT_EQ(parameter(*texture, GL_TEXTURE_WRAP_T), GL_REPEAT);
        EXPECT_EQ(parameter(*texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
        EXPECT_EQ(parameter(*texture, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        GLint mipWidth = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &mipWidth);
        EXPECT_EQ(mipWidth, 1);  // the mipmap chain exists
    }
}

TEST_F(TextureManagerTest, FilesFreeImageCannotReadAreReportedAndNotRegistered) {
    const std::string good = saveImage("good.png", 24, FIF_PNG, 1, 2);
    const std::string text = scratch.write("notes.png", "not an image at all");
    const std::string empty = scratch.write("empty.jpg", "");
    std::string truncatedBytes;
    {
        std::ifstream in(good, std::ios::binary);
        truncatedBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string truncated = scratch.write("truncated.png", truncatedBytes.substr(0, 40));

    LogCapture log;
    TextureManager& manager = TextureManager::instance();
    manager.loadDirectory(scratch.directory(), "", true);  // the empty extension takes every file
    EXPECT_NE(manager.find(good), nullptr);
    for (const std::string& bad : {text, empty, truncated}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(manager.find(bad), nullptr);
        EXPECT_EQ(log.count(error, "\"" + bad + "\"!"), 1u);
    }
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_EQ(log.count(LogCapture::Severity::error), 3u)
        << ::testing::PrintToString(log.messages(LogCapture::Severity::error));
    // Later lookups fail the way any absent name does.
    log.clear();
    EXPECT_EQ(manager.get(text), nullptr);
    EXPECT_EQ(log.count(error, "No Texture under that name present: \"" + text + "\"!"), 1u);
}

TEST_F(TextureManagerTest, ImagesBeyondTheLargestTextureAreRefusedWithARecord) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    ASSERT_GT(maxSize, 0);
    const auto saveStrip = [&](const std::string& name, int width, int height) {
        FIBITMAP* bitmap = FreeImage_Allocate(width, height, 24);
        const std::string path = scratch.path(name);
        EXPECT_TRUE(FreeImage_Save(FIF_PNG, bitmap, path.c_str(), 0));
        FreeImage_Unload(bitmap);
        return path;
    };
    const std::string fits = saveStrip("fits.png", maxSize, 1);
    const std::string wide = saveStrip("wide.png", maxSize + 1, 1);
    const std::string tall = saveStrip("tall.png", 1, maxSize + 1);
    LogCapture log;
    TextureManager& manager = TextureManager::instance();
    manager.loadDirectory(scratch.directory(), ".png", true);
    EXPECT_NE(manager.find(fits), nullptr);
    EXPECT_EQ(manager.find(wide), nullptr);
    EXPECT_EQ(manager.find(tall), nullptr);
    const std::string limit =
        "exceeds the largest texture (" + std::to_string(maxSize) + " pixels a side): \"";
    EXPECT_EQ(log.count(error, limit + wide + "\"!"), 1u);
    EXPECT_EQ(log.count(error, limit + tall + "\"!"), 1u);
    EXPECT_EQ(log.count(error), 2u) << ::testing::PrintToString(log.messages(error));
}

TEST_F(TextureManagerTest, SamplingMethodCyclesOverEveryTexture) {
    TextureManager& manager = TextureManager::instance();
    while (manager.samplingMethod() != 1) {
        manager.toggleSamplingMethod();
    }
    manager.load(saveImage("a.png", 24, FIF_PNG, 1, 2));
    manager.load(saveImage("b.png", 32, FIF_PNG, 3, 4));
    ASSERT_EQ(manager.size(), 2u);

    LogCapture log;
    const GLint minFilters[] = {GL_NEAREST_MIPMAP_NEAREST,
                                GL_NEAREST_MIPMAP_LINEAR,
                                GL_LINEAR_MIPMAP_NEAREST,
                                GL_LINEAR_MIPMAP_LINEAR,
                                GL_NEAREST,
                                GL_LINEAR};
    const GLint magFilters[] = {GL_LINEAR, GL_LINEAR, GL_LINEAR, GL_LINEAR, GL_NEAREST, GL_LINEAR};
    const char* const logged[] = {"GL_NEAREST_MIPMAP_NEAREST",
                                  "GL_NEAREST_MIPMAP_LINEAR",
                                  "GL_LINEAR_MIPMAP_NEAREST",
                                  "GL_LINEAR_MIPMAP_LINEAR",
                                  "GL_NEAREST",
                                  "GL_LINEAR"};
    for (int press = 0; press < 6; ++press) {
        SCOPED_TRACE(press);
        log.clear();
        manager.toggleSamplingMethod();
        EXPECT_EQ(manager.samplingMethod(), (press + 2) % 6);
        EXPECT_EQ(log.count(info, std::string("Changing texture sampling method to: ") + logged[press]), 1u);
        for (const auto& [name, texture] : manager.all()) {
            EXPECT_EQ(parameter(*texture, GL_TEXTURE_MIN_FILTER), minFilters[press]) << name;
            EXPECT_EQ(parameter(*texture, GL_TEXTURE_MAG_FILTER), magFilters[press]) << name;
        }
    }
    EXPECT_STREQ(samplingMethodAt(manager.samplingMethod()).shownAs, "LINEAR");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureManagerTest, ClearingDeletesTheOpenGlNames) {
    TextureManager& manager = TextureManager::instance();
    const std::string path = saveImage("gone.png", 24, FIF_PNG, 1, 2);
    manager.load(path);
    const GLuint id = manager.get(path)->id();
    EXPECT_TRUE(glIsTexture(id));
    const uint32_t generation = manager.generation();
    manager.clear();
    EXPECT_FALSE(glIsTexture(id));
    EXPECT_NE(manager.generation(), generation);
    EXPECT_EQ(manager.size(), 0u);
}

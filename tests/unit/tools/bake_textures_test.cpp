#include <FreeImage.h>
#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bake.h"
#include "graphics/resources/material.h"
#include "io/file_system.h"
#include "support/baked_meshes.h"

namespace fs = boost::filesystem;

namespace {
std::string repositoryRoot() {
    const char* root = std::getenv("FLAGSTORM_SOURCE_DIR");
    return root != nullptr ? root : ".";
}

// A decoded picture, top row first, RGBA bytes.
struct Picture {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<unsigned char> rgba;
    const unsigned char* at(unsigned x, unsigned y) const { return &rgba[(y * width + x) * 4]; }
};

bool readPicture(const std::string& path, Picture& picture) {
    FIBITMAP* loaded = FreeImage_Load(FIF_PNG, path.c_str(), 0);
    if (loaded == nullptr) {
        return false;
    }
    FIBITMAP* bitmap = FreeImage_ConvertTo32Bits(loaded);
    FreeImage_Unload(loaded);
    picture.width = FreeImage_GetWidth(bitmap);
    picture.height = FreeImage_GetHeight(bitmap);
    picture.rgba.resize(picture.width * picture.height * 4);
    for (unsigned y = 0; y < picture.height; ++y) {
        const BYTE* line = FreeImage_GetScanLine(bitmap, static_cast<int>(picture.height - 1 - y));
        for (unsigned x = 0; x < picture.width; ++x) {
            unsigned char* out = &picture.rgba[(y * picture.width + x) * 4];
            out[0] = line[x * 4 + FI_RGBA_RED];
            out[1] = line[x * 4 + FI_RGBA_GREEN];
            out[2] = line[x * 4 + FI_RGBA_BLUE];
            out[3] = line[x * 4 + FI_RGBA_ALPHA];
        }
    }
    FreeImage_Unload(bitmap);
    return true;
}

// Bakes the textures into a fresh scratch tree shared by the tests below.
class BakedTextures : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root = new fs::path(fs::temp_directory_path() / fs::unique_path("flagstorm-textures-%%%%%%%%"));
        baked = bakeTextures(root->string() + "/");
    }
    static void TearDownTestSuite() {
        boost::system::error_code error;
        fs::remove_all(*root, error);
        delete root;
    }
    static std::string path(const std::string& relative) { return (*root / relative).string(); }
    static Picture picture(const std::string& relative) {
        Picture result;
        EXPECT_TRUE(readPicture(path(relative), result)) << relative;
        return result;
    }

    static inline fs::path* root = nullptr;
    static inline bool baked = false;
};
}  // namespace

TEST_F(BakedTextures, BakingAgainGivesTheSameBytes) {
    ASSERT_TRUE(baked);
    std::map<std::string, std::vector<unsigned char>> first;
    for (fs::recursive_directory_iterator it(*root), end; it != end; ++it) {
        if (fs::is_regular_file(it->path())) {
            first[it->path().string()] = fileBytes(it->path().string());
        }
    }
    EXPECT_GE(first.size(), 30u);
    ASSERT_TRUE(bakeTextures(root->string() + "/"));
    for (const auto& [file, bytes] : first) {
        EXPECT_EQ(fileBytes(file), bytes) << file;
    }
}

TEST_F(BakedTextures, EveryTextureAShippedMaterialNamesIsBaked) {
    ASSERT_TRUE(baked);
    std::size_t named = 0;
    const fs::path materials = fs::path(repositoryRoot()) / "resources/materials";
    for (fs::directory_iterator it(materials), end; it != end; ++it) {
        std::string name;
        const std::vector<unsigned char> bytes = fileBytes(it->path().string());
        const auto material =
            Material::parse(std::string(bytes.begin(), bytes.end()), it->path().string(), name);
        ASSERT_NE(material, nullptr) << it->path();
        std::vector<std::optional<std::string>> textures = {material->diffuseAlphaMap, material->normalMap,
                                                            material->specularMap,
                                                            material->selectionSampler};
        textures.insert(textures.end(), material->terrainLayers.begin(), material->terrainLayers.end());
        for (const auto& texture : textures) {
            if (texture) {
                ++named;
                EXPECT_TRUE(fs::is_regular_file(path(*texture))) << name << " names " << *texture;
            }
        }
    }
    EXPECT_GE(named, 25u);
}

TEST_F(BakedTextures, HudArtHasTheSizesTheLayoutCutsItTo) {
    ASSERT_TRUE(baked);
    const Picture white = picture("resources/textures/default/whiteOpaque.png");
    for (const unsigned char byte : white.rgba) {
        EXPECT_EQ(byte, 255);
    }
    for (const char* strip : {"scoreBar.png", "scorePointsBlue.png"}) {
        const Picture bar = picture(std::string("resources/textures/hud/") + strip);
        EXPECT_EQ(bar.width, 582u) << strip;
        EXPECT_EQ(bar.height, 38u) << strip;
    }
    // The points strip is solid in its track from the first pixel on, so a
    // score of 0 still shows its 10-pixel lead.
    const Picture points = picture("resources/textures/hud/scorePointsBlue.png");
    EXPECT_EQ(points.at(2, 19)[3], 255);
    EXPECT_GT(points.at(2, 19)[2], points.at(2, 19)[0]);

    // The skill bar: both 256 x 64 strips in the top rows (v from 0.875 to
    // 1), nothing below them.
    const Picture skills = picture("resources/textures/hud/skillBar.png");
    ASSERT_EQ(skills.width, 512u);
    ASSERT_EQ(skills.height, 512u);
    std::size_t opaqueLeft = 0;
    std::size_t opaqueRight = 0;
    std::size_t below = 0;
    for (unsigned y = 0; y < 512; ++y) {
        for (unsigned x = 0; x < 512; ++x) {
            const bool covered = skills.at(x, y)[3] > 128;
            if (y >= 64) {
                below += covered ? 1 : 0;
            } else if (x < 256) {
                opaqueLeft += covered ? 1 : 0;
            } else {
                opaqueRight += covered ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(below, 0u);
    EXPECT_GT(opaqueRight, 256u * 64u * 9 / 10);  // the frame covers its strip
    EXPECT_GT(opaqueLeft, 4u * 400u);             // four icons
    EXPECT_LT(opaqueLeft, 256u * 64u / 2);        // with the frame showing round them

    const Picture help = picture("resources/textures/hud/help.png");
    EXPECT_EQ(help.width, 512u);
    EXPECT_EQ(help.height, 512u);
    EXPECT_GT(help.at(256, 256)[3], 200);
}

TEST_F(BakedTextures, NormalMapsHoldUnitVectorsFacingOut) {
    ASSERT_TRUE(baked);
    for (const char* surface : {"rock", "wall", "pillar", "tree"}) {
        const Picture normals = picture(std::string("resources/textures/") + surface + "/normal.png");
        ASSERT_EQ(normals.width, 256u) << surface;
        for (unsigned i = 0; i < normals.width * normals.height; i += 97) {
            const unsigned char* texel = &normals.rgba[i * 4];
            const float x = texel[0] / 127.5f - 1.0f;
            const float y = texel[1] / 127.5f - 1.0f;
            const float z = texel[2] / 127.5f - 1.0f;
            EXPECT_NEAR(x * x + y * y + z * z, 1.0f, 0.03f) << surface;
            EXPECT_GT(z, 0.0f) << surface;
        }
    }
}

TEST_F(BakedTextures, MenuIconIsAFlagInBothTeamColoursOnAClearGround) {
    ASSERT_TRUE(bakeIcon(root->string() + "/"));
    const Picture icon = picture("resources/icons/flagstorm.png");
    ASSERT_EQ(icon.width, 256u);
    ASSERT_EQ(icon.height, 256u);
    // Clear round the flag, so menus show their own background.
    for (const unsigned corner : {0u, 255u}) {
        EXPECT_EQ(icon.at(corner, 0)[3], 0);
        EXPECT_EQ(icon.at(corner, 255)[3], 0);
    }
    std::size_t blue = 0;
    std::size_t red = 0;
    std::size_t covered = 0;
    for (unsigned y = 0; y < 256; ++y) {
        for (unsigned x = 0; x < 256; ++x) {
            const unsigned char* texel = icon.at(x, y);
            if (texel[3] < 255) {
                continue;
            }
            ++covered;
            blue += texel[2] > texel[0] + 60 ? 1 : 0;
            red += texel[0] > texel[2] + 60 ? 1 : 0;
        }
    }
    // The cloth is about half of each colour and fills a good part of the square.
    EXPECT_GT(blue, 8000u);
    EXPECT_GT(red, 8000u);
    EXPECT_LT(blue > red ? blue - red : red - blue, (blue + red) / 5);
    EXPECT_GT(covered, 256u * 256u / 3);
}

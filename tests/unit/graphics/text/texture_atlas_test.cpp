#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/text/texture-atlas.h"

namespace {

using Node = std::tuple<int, int, int>;  // x, y, width
using Region = std::tuple<int, int, int, int>;

std::vector<Node> skyline(const texture_atlas_t* atlas) {
    std::vector<Node> nodes;
    for (size_t i = 0; i < vector_size(atlas->nodes); ++i) {
        const auto* node = static_cast<const texture_atlas_node_t*>(vector_get(atlas->nodes, i));
        nodes.emplace_back(node->x, node->y, node->width);
    }
    return nodes;
}

Region get(texture_atlas_t* atlas, size_t width, size_t height) {
    const texture_atlas_region_t r = texture_atlas_get_region(atlas, width, height);
    return {r.x, r.y, r.width, r.height};
}

const Region kNoRoom{-1, -1, 0, 0};

unsigned char texel(const texture_atlas_t* atlas, size_t x, size_t y, size_t channel = 0) {
    return atlas->data[(y * atlas->width + x) * atlas->depth + channel];
}

}  // namespace

TEST(TextureAtlas, StartsZeroFilledWithOneSkylineNodeInsideTheBorder) {
    texture_atlas_t* atlas = texture_atlas_new(512, 512, 1);
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 1, 510}}));
    EXPECT_EQ(atlas->used, 0u);
    EXPECT_EQ(atlas->id, 0u);
    size_t nonZero = 0;
    for (size_t i = 0; i < 512 * 512; ++i) {
        nonZero += atlas->data[i] != 0;
    }
    EXPECT_EQ(nonZero, 0u);
    texture_atlas_delete(atlas);
    texture_atlas_delete(nullptr);
}

TEST(TextureAtlas, RefusesSizesWithoutAnInnerTexelAndUnknownDepths) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(texture_atlas_new(2, 64, 1), nullptr);
    EXPECT_EQ(texture_atlas_new(64, 0, 1), nullptr);
    EXPECT_EQ(texture_atlas_new(64, 64, 2), nullptr);
    EXPECT_EQ(texture_atlas_new(64, 64, 0), nullptr);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("unusable size 2 x 64"), std::string::npos);
    EXPECT_NE(errors.find("unusable depth 2"), std::string::npos);

    texture_atlas_t* smallest = texture_atlas_new(3, 3, 4);
    ASSERT_NE(smallest, nullptr);
    EXPECT_EQ(get(smallest, 1, 1), (Region{1, 1, 1, 1}));
    EXPECT_EQ(get(smallest, 1, 1), kNoRoom);
    texture_atlas_delete(smallest);
}

TEST(TextureAtlas, KeepsAOneTexelBorderOnEverySide) {
    texture_atlas_t* atlas = texture_atlas_new(512, 512, 1);
    // Wider or taller than 510 never fits, on an empty atlas too.
    EXPECT_EQ(get(atlas, 511, 1), kNoRoom);
    EXPECT_EQ(get(atlas, 1, 511), kNoRoom);
    EXPECT_EQ(get(atlas, 100000, 100000), kNoRoom);
    EXPECT_EQ(atlas->used, 0u);
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 1, 510}}));

    // Exactly the inner area fits, and then nothing more.
    EXPECT_EQ(get(atlas, 510, 510), (Region{1, 1, 510, 510}));
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 511, 510}}));
    EXPECT_EQ(get(atlas, 1, 1), kNoRoom);
    EXPECT_EQ(atlas->used, 510u * 510u);
    texture_atlas_delete(atlas);
}

TEST(TextureAtlas, PlacesEachRequestWhereItsBottomEndsLowest) {
    texture_atlas_t* atlas = texture_atlas_new(16, 16, 1);
    EXPECT_EQ(get(atlas, 3, 1), (Region{1, 1, 3, 1}));
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 2, 3}, {4, 1, 11}}));
    // Left of the first step it would end at row 6, right of it at row 5.
    EXPECT_EQ(get(atlas, 2, 4), (Region{4, 1, 2, 4}));
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 2, 3}, {4, 5, 2}, {6, 1, 9}}));
    // A request spanning several nodes sits on the highest of them.
    EXPECT_EQ(get(atlas, 6, 2), (Region{6, 1, 6, 2}));
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 2, 3}, {4, 5, 2}, {6, 3, 6}, {12, 1, 3}}));
    EXPECT_EQ(get(atlas, 3, 1), (Region{12, 1, 3, 1}));
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 2, 3}, {4, 5, 2}, {6, 3, 6}, {12, 2, 3}}));
    // Nodes 0 and 3 tie on the bottom row and on their width: the first wins.
    EXPECT_EQ(get(atlas, 2, 1), (Region{1, 2, 2, 1}));
    // Too wide to start at x = 12 (12 + 4 > 15); starting at x = 6 it ends lowest.
    EXPECT_EQ(get(atlas, 4, 1), (Region{6, 3, 4, 1}));
    EXPECT_EQ(atlas->used, 3u + 8u + 12u + 3u + 2u + 4u);
    texture_atlas_delete(atlas);
}

TEST(TextureAtlas, BreaksATieOnTheBottomRowWithTheNarrowerNode) {
    texture_atlas_t* atlas = texture_atlas_new(16, 16, 1);
    EXPECT_EQ(get(atlas, 9, 1), (Region{1, 1, 9, 1}));
    EXPECT_EQ(get(atlas, 2, 4), (Region{10, 1, 2, 4}));
    EXPECT_EQ(get(atlas, 3, 1), (Region{12, 1, 3, 1}));
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 2, 9}, {10, 5, 2}, {12, 2, 3}}));
    // Both the first node (9 wide) and the last (3 wide) end at row 3.
    EXPECT_EQ(get(atlas, 2, 1), (Region{12, 2, 2, 1}));
    texture_atlas_delete(atlas);
}

TEST(TextureAtlas, CutsBackCoveredNodesAndMergesStepsOfEqualHeight) {
    texture_atlas_t* atlas = texture_atlas_new(16, 16, 1);
    get(atlas, 3, 1);
    // The new step {4, 2, 5} covers the start of {4, 1, 11} and then meets {1, 2, 3}.
    EXPECT_EQ(get(atlas, 5, 1), (Region{4, 1, 5, 1}));
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 2, 8}, {9, 1, 6}}));
    // Covering the whole rest removes the last node and merges into one.
    EXPECT_EQ(get(atlas, 6, 1), (Region{9, 1, 6, 1}));
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 2, 14}}));
    texture_atlas_delete(atlas);
}

TEST(TextureAtlas, PacksManyRegionsWithoutOverlapInsideTheBorderUntilFull) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> side(1, 40);
    texture_atlas_t* atlas = texture_atlas_new(256, 128, 1);
    std::vector<texture_atlas_region_t> placed;
    size_t area = 0;
    int refusals = 0;
    while (refusals < 50) {
        const size_t w = side(random), h = side(random);
        const texture_atlas_region_t r = texture_atlas_get_region(atlas, w, h);
        if (r.x < 0) {
            EXPECT_EQ((Region{r.x, r.y, r.width, r.height}), kNoRoom);
            ++refusals;
            continue;
        }
        ASSERT_EQ(r.width, static_cast<int>(w));
        ASSERT_EQ(r.height, static_cast<int>(h));
        ASSERT_GE(r.x, 1);
        ASSERT_GE(r.y, 1);
        ASSERT_LE(r.x + r.width, 255);
        ASSERT_LE(r.y + r.height, 127);
        for (const auto& other : placed) {
            const bool apart = r.x + r.width <= other.x || other.x + other.width <= r.x ||
                               r.y + r.height <= other.y || other.y + other.height <= r.y;
            ASSERT_TRUE(apart) << "region at " << r.x << "," << r.y << " overlaps one at " << other.x << ","
                               << other.y;
        }
        placed.push_back(r);
        area += w * h;

        // The skyline spans the inner width without gaps, and no two neighbours share a height.
        const std::vector<Node> nodes = skyline(atlas);
        ASSERT_EQ(std::get<0>(nodes.front()), 1);
        for (size_t i = 0; i + 1 < nodes.size(); ++i) {
            ASSERT_EQ(std::get<0>(nodes[i]) + std::get<2>(nodes[i]), std::get<0>(nodes[i + 1]));
            ASSERT_NE(std::get<1>(nodes[i]), std::get<1>(nodes[i + 1]));
        }
        ASSERT_EQ(std::get<0>(nodes.back()) + std::get<2>(nodes.back()), 255);
    }
    EXPECT_GT(placed.size(), 10u);
    EXPECT_EQ(atlas->used, area);
    texture_atlas_delete(atlas);
}

TEST(TextureAtlas, RefusesEmptyRequests) {
    texture_atlas_t* atlas = texture_atlas_new(16, 16, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(get(atlas, 0, 4), kNoRoom);
    EXPECT_EQ(get(atlas, 4, 0), kNoRoom);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("empty request"), std::string::npos);
    EXPECT_EQ(skyline(atlas), (std::vector<Node>{{1, 1, 14}}));
    texture_atlas_delete(atlas);
}

TEST(TextureAtlas, CopiesSourceRowsAtTheirStrideIntoTheRegion) {
    texture_atlas_t* atlas = texture_atlas_new(8, 8, 1);
    // Two rows of three texels, each row padded to five bytes.
    const unsigned char source[10] = {1, 2, 3, 0xEE, 0xEE, 4, 5, 6, 0xEE, 0xEE};
    texture_atlas_set_region(atlas, 2, 3, 3, 2, source, 5);
    for (size_t y = 0; y < 8; ++y) {
        for (size_t x = 0; x < 8; ++x) {
            unsigned char expected = 0;
            if (x >= 2 && x < 5 && y >= 3 && y < 5) {
                expected = static_cast<unsigned char>((y - 3) * 3 + (x - 2) + 1);
            }
            EXPECT_EQ(texel(atlas, x, y), expected) << "at " << x << "," << y;
        }
    }
    texture_atlas_delete(atlas);

    texture_atlas_t* rgb = texture_atlas_new(8, 8, 3);
    const unsigned char pixels[6] = {10, 20, 30, 40, 50, 60};
    texture_atlas_set_region(rgb, 1, 1, 2, 1, pixels, 6);
    EXPECT_EQ(texel(rgb, 1, 1, 0), 10);
    EXPECT_EQ(texel(rgb, 2, 1, 2), 60);
    EXPECT_EQ(texel(rgb, 3, 1, 0), 0);
    texture_atlas_delete(rgb);
}

TEST(TextureAtlas, WritesNothingOnTheBorderOrOutside) {
    texture_atlas_t* atlas = texture_atlas_new(8, 8, 1);
    const unsigned char source[64] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                      255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                      255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                      255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                      255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    const std::vector<std::tuple<size_t, size_t, size_t, size_t>> outside = {
        {0, 1, 2, 2},                        // on the left border
        {1, 0, 2, 2},                        // on the top border
        {5, 1, 3, 2},                        // reaches the right border (x + width = 8 > 7)
        {1, 5, 2, 3},                        // reaches the bottom border
        {7, 7, 1, 1},                        // starts on the corner
        {8, 1, 1, 1},                        // starts past the atlas
        {1, 1, static_cast<size_t>(-1), 1},  // a width that would wrap around
    };
    testing::internal::CaptureStderr();
    for (const auto& [x, y, w, h] : outside) {
        texture_atlas_set_region(atlas, x, y, w, h, source, 8);
    }
    // Rows shorter than the region read past the source: refused as well.
    texture_atlas_set_region(atlas, 1, 1, 4, 2, source, 3);
    texture_atlas_set_region(atlas, 1, 1, 4, 2, nullptr, 8);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("region (0, 1) 2 x 2 outside the 8 x 8 atlas"), std::string::npos);
    EXPECT_NE(errors.find("source rows of 3 bytes hold no 4 texels"), std::string::npos);
    for (size_t i = 0; i < 64; ++i) {
        ASSERT_EQ(atlas->data[i], 0) << "texel " << i;
    }

    // The largest allowed region fills exactly the inside.
    texture_atlas_set_region(atlas, 1, 1, 6, 6, source, 8);
    for (size_t y = 0; y < 8; ++y) {
        for (size_t x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x <= 6 && y >= 1 && y <= 6;
            EXPECT_EQ(texel(atlas, x, y), inside ? 255 : 0) << "at " << x << "," << y;
        }
    }
    texture_atlas_delete(atlas);
}

TEST(TextureAtlas, KeepsItsTexelsInMemoryWhenNoContextIsCurrent) {
    texture_atlas_t* atlas = texture_atlas_new(16, 16, 1);
    texture_atlas_upload(atlas);
    EXPECT_EQ(atlas->id, 0u);
    texture_atlas_delete(atlas);
}

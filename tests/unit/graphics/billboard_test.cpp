// What a billboard streams for its fields, without a context.
#include "graphics/billboard.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Billboard, TheBlockHoldsColoursPositionsAndTextureCoordinatesInStripOrder) {
    Billboard billboard;
    EXPECT_EQ(billboard.rect, glm::vec4(-0.5f, -0.5f, 0.5f, 0.5f));
    EXPECT_EQ(billboard.texRect, glm::vec4(0.0f, 0.0f, 1.0f, 1.0f));
    EXPECT_EQ(billboard.color, glm::vec4(1.0f));

    // A health bar's fill: 1.28 x 0.32 centred on the origin, cut at 40 %.
    billboard.rect = glm::vec4(-0.64f, -0.16f, 0.64f, 0.16f);
    billboard.texRect = glm::vec4(0.0f, 0.0f, 0.4f, 1.0f);
    billboard.color = glm::vec4(0.29f, 0.43f, 0.74f, 1.0f);
    const BillboardVertexBlock block = billboard.vertexBlock();

    // The bytes as the shader inputs read them: colours at 0 (4 floats each),
    // positions at 64 (3 floats), texture coordinates at 112 (2 floats).
    float bytes[36];
    static_assert(sizeof bytes == sizeof block, "144 bytes");
    std::memcpy(bytes, &block, sizeof block);
    const float* colors = bytes;
    const float* positions = bytes + 16;
    const float* texCoords = bytes + 28;
    for (int corner = 0; corner < 4; ++corner) {
        EXPECT_EQ(glm::vec4(colors[4 * corner], colors[4 * corner + 1], colors[4 * corner + 2],
                            colors[4 * corner + 3]),
                  billboard.color);
    }
    const float expectedPositions[12] = {-0.64f, -0.16f, 0, 0.64f, -0.16f, 0,
                                         -0.64f, 0.16f,  0, 0.64f, 0.16f,  0};
    const float expectedTexCoords[8] = {0, 0, 0.4f, 0, 0, 1, 0.4f, 1};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(positions[i], expectedPositions[i]) << i;
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(texCoords[i], expectedTexCoords[i]) << i;
    }
    // The quad spans exactly the rectangle: 1.28 wide, 0.32 high.
    EXPECT_FLOAT_EQ(block.positions[3].x - block.positions[0].x, 1.28f);
    EXPECT_FLOAT_EQ(block.positions[3].y - block.positions[0].y, 0.32f);

    // Building and filling billboards made no buffer.
    EXPECT_EQ(Billboard::sharedBuffer(), 0u);
}

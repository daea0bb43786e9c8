// The per-instance data the particle draw hands the GPU: the record layout
// the attribute table describes, and the bytes an instance really uploads.
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/particles/particle_effects.h"
#include "graphics/particles/particle_system_instance.h"
#include "graphics/resources/shader_program.h"
#include "particle_test_support.h"

using namespace particle_test;

namespace {

struct Expected {
    VertexAttribute attribute;
    const char* name;
    std::int32_t components;
    std::uint32_t offset;
};

float floatAt(const std::vector<ParticleVertex>& vertices, std::size_t byte) {
    float value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(vertices.data()) + byte, sizeof(value));
    return value;
}

}  // namespace

TEST(ParticleInstanceLayout, DescribesTightlyPacked52ByteRecordsOfSixInputs) {
    const Expected table[] = {
        {VertexAttribute::ss_CenterPosition, "vIn_ss_CenterPosition", 3, 0},
        {VertexAttribute::Size, "vIn_Size", 1, 12},
        {VertexAttribute::Rotation, "vIn_Rotation", 1, 16},
        {VertexAttribute::Color, "vIn_Color", 4, 20},
        {VertexAttribute::Lifetime, "vIn_Lifetime", 1, 36},
        {VertexAttribute::ss_OrientationVector, "vIn_ss_OrientationVector", 3, 40},
    };
    ASSERT_EQ(kParticleInstanceAttributes.size(), std::size(table));
    std::uint32_t end = 0;
    for (std::size_t k = 0; k < std::size(table); ++k) {
        SCOPED_TRACE(table[k].name);
        const ParticleInstanceAttribute& input = kParticleInstanceAttributes[k];
        EXPECT_EQ(input.attribute, table[k].attribute);
        EXPECT_STREQ(vertexAttributeName(input.attribute), table[k].name);
        EXPECT_EQ(input.components, table[k].components);
        EXPECT_EQ(input.offset, table[k].offset);
        EXPECT_EQ(input.offset, end);  // each starts where the last ended
        end = input.offset + 4 * static_cast<std::uint32_t>(input.components);
    }
    EXPECT_EQ(end, 52u);
    EXPECT_EQ(sizeof(ParticleVertex), 52u);

    // The quad: a strip of four corners around the particle's centre.
    const std::array<float, 12> corners = {-0.5f, -0.5f, 0.0f, 0.5f, -0.5f, 0.0f,
                                           -0.5f, 0.5f,  0.0f, 0.5f, 0.5f,  0.0f};
    EXPECT_EQ(kParticleQuadCorners, corners);
    EXPECT_EQ(sizeof(kParticleQuadCorners), 48u);
}

TEST(ParticleInstanceLayout, TheUploadedBytesHoldEachParticleAtItsIndexTimes52) {
    auto wave = ParticleEffectLibrary::instance().create("PressureWave");
    ASSERT_TRUE(wave);
    wave->simulate(Entity(), 0.05f);
    const std::vector<ParticleVertex>& bytes = wave->vertices();
    ASSERT_EQ(bytes.size(), 1u);
    // 0.05 s of a 0.25 s life: 80 % left, so the wave is 7.5 - 5 * 0.8 = 3.5
    // wide, fully coloured, and has risen 0.1 * 0.05.
    EXPECT_EQ(floatAt(bytes, 0), 0.0f);
    EXPECT_NEAR(floatAt(bytes, 4), 0.005f, 1e-7f);
    EXPECT_EQ(floatAt(bytes, 8), 0.0f);
    EXPECT_NEAR(floatAt(bytes, 12), 3.5f, 1e-5f);
    EXPECT_EQ(floatAt(bytes, 16), 0.0f);
    for (std::size_t channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(floatAt(bytes, 20 + 4 * channel), 1.0f);
    }
    EXPECT_NEAR(floatAt(bytes, 36), 0.2f, 1e-6f);
    EXPECT_EQ(floatAt(bytes, 40), 0.0f);
    EXPECT_NEAR(floatAt(bytes, 44), 0.1f, 1e-7f);
    EXPECT_EQ(floatAt(bytes, 48), 0.0f);

    // Several records: particle k starts at byte 52 k, dead ones included.
    ParticleSystem system = bare(3);
    ParticleSystemInstance instance(system);
    instance.vertex(1).position = glm::vec3(7.0f, 8.0f, 9.0f);
    instance.vertex(2).lifetime = 4.0f;
    instance.vertex(2).velocity = glm::vec3(0.0f, 0.0f, -3.0f);
    EXPECT_EQ(floatAt(instance.vertices(), 52 + 0), 7.0f);
    EXPECT_EQ(floatAt(instance.vertices(), 52 + 8), 9.0f);
    EXPECT_EQ(floatAt(instance.vertices(), 52 + 12), 1.0f);  // a dead particle's size
    EXPECT_EQ(floatAt(instance.vertices(), 104 + 36), 4.0f);
    EXPECT_EQ(floatAt(instance.vertices(), 104 + 48), -3.0f);
}

// The scene renderables on the test program's context: vertex arrays per
// program, what billboards, link ribbons and mesh instances put on screen.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>
#include <string>
#include <vector>

#include "graphics/billboard.h"
#include "graphics/mesh_instance.h"
#include "graphics/procedural/link_mesh_instance.h"
#include "graphics/resources/material.h"
#include "graphics/resources/mesh.h"
#include "graphics/resources/shader_program.h"
#include "graphics/resources/skeletal_mesh.h"
#include "graphics/resources/skeleton.h"
#include "graphics/resources/static_mesh.h"
#include "offscreen_target.h"
#include "shipped_graphics.h"
#include "support/log_capture.h"

namespace renderables_test {

// Lets a test see the vertex arrays a renderable made.
template <typename Base>
class Inspected : public Base {
  public:
    using Base::Base;
    const std::vector<uint32_t>& arrays() const { return this->vertexArrays; }
};

constexpr uint32_t kNone = 0xffffffffu;

// Records of severity warning and above (programs log their tables at debug
// when first used).
std::vector<std::string> problems(const LogCapture& capture) {
    std::vector<std::string> found;
    for (const LogCapture::Record& record : capture.records()) {
        if (record.severity >= LogCapture::Severity::warning) {
            found.push_back(record.message);
        }
    }
    return found;
}

class Renderables : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        LogCapture quiet;
        shipped_graphics::load();
    }
    static void TearDownTestSuite() {
        glUseProgram(0);
        glBindVertexArray(0);
        shipped_graphics::release();
    }
    void SetUp() override {
        // Unlit and white: what is drawn shows the vertex colour as it is.
        plain.shadingFactor = 0.0f;
        glDisable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
    }
    void TearDown() override {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    static ShaderProgram& program(const char* name) {
        ShaderProgram* found = ShaderProgramManager::instance().find(name);
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }

    // Makes program current with the matrices of the uniform step; no light
    // reaches the shadow lookups.
    static void use(ShaderProgram& program, const glm::mat4& model, const glm::mat4& view = glm::mat4(1.0f),
                    const glm::mat4& projection = glm::mat4(1.0f)) {
        glUseProgram(program.id());
        program.setUniform(Uniform::Model, model);
        program.setUniform(Uniform::View, view);
        program.setUniform(Uniform::Projection, projection);
        program.setUniform(Uniform::NormalTransform, glm::mat3(1.0f));
        program.setUniform(Uniform::es_LightDirection, glm::vec3(0.0f, 0.0f, -1.0f));
        if (program.hasUniform(Uniform::ShadowMapModelViewProjection)) {
            program.setUniform(Uniform::ShadowMapModelViewProjection, glm::mat4(0.0f));
        }
    }

    // A model matrix that fits the mesh's vertices into the NDC cube.
    template <typename Vertex>
    static glm::mat4 fitted(const std::vector<Vertex>& vertices) {
        glm::vec3 low(1e30f);
        glm::vec3 high(-1e30f);
        for (const Vertex& vertex : vertices) {
            low = glm::min(low, vertex.position);
            high = glm::max(high, vertex.position);
        }
        const glm::vec3 half = glm::max((high - low) * 0.5f, glm::vec3(1e-3f)) * 1.05f;
        return glm::scale(glm::mat4(1.0f), 1.0f / half) *
               glm::translate(glm::mat4(1.0f), -(low + high) * 0.5f);
    }

    Material plain;
};

TEST_F(Renderables, EachProgramGetsItsOwnVertexArrayMadeOnFirstDraw) {
    LogCapture capture;
    StaticMesh* rock = MeshManager::instance().getStatic("Rock");
    ASSERT_NE(rock, nullptr);
    ShaderProgram& shadow = program("ShadowStatic");
    ShaderProgram& standard = program("StandardStatic");
    ASSERT_NE(shadow.id(), standard.id());

    GLuint first = 0;
    GLuint second = 0;
    {
        Inspected<StaticMeshInstance> instance(*rock);
        EXPECT_TRUE(instance.arrays().empty());  // nothing made before a draw

        use(shadow, glm::mat4(0.0f));
        instance.draw(shadow);
        ASSERT_EQ(instance.arrays().size(), shadow.id() + 1);
        first = instance.arrays()[shadow.id()];
        EXPECT_NE(first, kNone);

        use(standard, glm::mat4(0.0f));
        instance.draw(standard);
        const uint32_t top = std::max(shadow.id(), standard.id());
        ASSERT_EQ(instance.arrays().size(), top + 1);
        second = instance.arrays()[standard.id()];
        EXPECT_NE(second, kNone);
        EXPECT_NE(second, first);
        EXPECT_EQ(instance.arrays()[shadow.id()], first);
        for (uint32_t id = 0; id <= top; ++id) {
            if (id != shadow.id() && id != standard.id()) {
                EXPECT_EQ(instance.arrays()[id], kNone) << id;
            }
        }
        EXPECT_TRUE(glIsVertexArray(first));
        EXPECT_TRUE(glIsVertexArray(second));

        // Drawing again reuses them.
        use(shadow, glm::mat4(0.0f));
        instance.draw(shadow);
        EXPECT_EQ(instance.arrays()[shadow.id()], first);
        EXPECT_EQ(instance.arrays().size(), top + 1);
        glBindVertexArray(0);
    }
    // The instance took its vertex arrays with it.
    EXPECT_FALSE(glIsVertexArray(first));
    EXPECT_FALSE(glIsVertexArray(second));
    // Every attribute it looked up was there.
    EXPECT_EQ(problems(capture), std::vector<std::string>());
}

TEST_F(Renderables, ABillboardDrawsItsRectangleInItsColourCentredOnItsOrigin) {
    LogCapture capture;
    offscreen::ColorTarget target(200, 200);
    ASSERT_TRUE(target.complete);
    target.begin();
    ShaderProgram& billboards = program("Billboard");
    use(billboards, glm::mat4(1.0f));
    plain.apply(billboards);
    Billboard bar(glm::vec4(0.29f, 0.43f, 0.74f, 1.0f));
    bar.rect = glm::vec4(-0.64f, -0.16f, 0.64f, 0.16f);
    bar.draw(billboards);
    EXPECT_NE(Billboard::sharedBuffer(), 0u);

    const glm::vec4 inside = target.at(0.0f, 0.0f);
    EXPECT_NEAR(inside.r, 0.29f, 0.01f);
    EXPECT_NEAR(inside.g, 0.43f, 0.01f);
    EXPECT_NEAR(inside.b, 0.74f, 0.01f);
    // 1.28 wide and 0.32 high around the origin.
    for (const glm::vec2& point : {glm::vec2(0.6f, 0.14f), glm::vec2(-0.6f, -0.14f)}) {
        EXPECT_GT(target.at(point.x, point.y).b, 0.7f) << point.x << ", " << point.y;
    }
    for (const glm::vec2& point :
         {glm::vec2(0.68f, 0.0f), glm::vec2(-0.68f, 0.0f), glm::vec2(0.0f, 0.2f), glm::vec2(0.0f, -0.2f)}) {
        EXPECT_EQ(target.at(point.x, point.y), glm::vec4(0, 0, 0, 1)) << point.x << ", " << point.y;
    }

    // A second billboard shares the stream buffer.
    const GLuint shared = Billboard::sharedBuffer();
    Billboard other;
    other.draw(billboards);
    EXPECT_EQ(Billboard::sharedBuffer(), shared);
    EXPECT_EQ(target.at(0.4f, 0.4f), glm::vec4(1.0f));  // the default rectangle, white
    glBindVertexArray(0);
    EXPECT_EQ(problems(capture), std::vector<std::string>());
}

TEST_F(Renderables, ALinkRibbonIsSeenFromAboveWithCullingAndFadesWithItsAge) {
    LogCapture capture;
    offscreen::ColorTarget target(100, 100);
    ShaderProgram& standard = program("StandardStatic");
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    const glm::mat4 projection = glm::ortho(-10.0f, 10.0f, -10.0f, 10.0f, 1.0f, 40.0f);
    const glm::mat4 above = glm::lookAt(glm::vec3(0, 20, 0), glm::vec3(0.0f), glm::vec3(0, 0, -1));
    const glm::mat4 below = glm::lookAt(glm::vec3(0, -20, 0), glm::vec3(0.0f), glm::vec3(0, 0, -1));
    procedural::LinkMeshInstance link(glm::vec3(-5, 0, 0), glm::vec3(0.0f), glm::vec3(5, 0, 0),
                                      glm::vec3(0.0f));

    const auto centre = [&](const glm::mat4& view) {
        target.begin();
        use(standard, glm::mat4(1.0f), view, projection);
        plain.apply(standard);
        link.draw(standard);
        return target.at(0.0f, 0.0f);
    };

    link.update(Entity(), 0.09);
    EXPECT_GT(centre(above).r, 0.97f);
    EXPECT_EQ(target.at(0.0f, 0.4f), glm::vec4(0, 0, 0, 1));  // 6 units wide: |z| <= 3 only
    EXPECT_GT(target.at(0.0f, 0.25f).r, 0.97f);
    EXPECT_EQ(centre(below), glm::vec4(0, 0, 0, 1));  // its back, culled

    link.update(Entity(), 0.13);
    EXPECT_NEAR(centre(above).r, 0.66f, 0.02f);
    link.update(Entity(), 0.1);
    EXPECT_LT(centre(above).r, 0.01f);
    glBindVertexArray(0);
    EXPECT_EQ(problems(capture), std::vector<std::string>());
}

TEST_F(Renderables, MeshInstancesReadWhiteFromTheirDisabledColourInput) {
    LogCapture capture;
    offscreen::ColorTarget target(128, 128);
    StaticMesh* wall = MeshManager::instance().getStatic("Wall");
    ASSERT_NE(wall, nullptr);
    ShaderProgram& standard = program("StandardStatic");
    StaticMeshInstance instance(*wall);

    // Whatever another draw left in the shared constant, the mesh is white.
    glUseProgram(standard.id());
    glVertexAttrib4f(static_cast<GLuint>(standard.getAttributeLocation(VertexAttribute::Color)), 0, 0, 0, 1);
    target.begin();
    use(standard, fitted(wall->getVertices()));
    plain.apply(standard);
    instance.draw(standard);
    glBindVertexArray(0);

    const std::vector<unsigned char> pixels = target.pixels();
    std::size_t white = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        white += pixels[i] == 255 && pixels[i + 1] == 255 && pixels[i + 2] == 255 ? 1 : 0;
    }
    EXPECT_GT(white, pixels.size() / 4 / 10);
    EXPECT_EQ(problems(capture), std::vector<std::string>());
}

TEST_F(Renderables, ASkinnedInstanceIsDrawnInItsOwnPose) {
    LogCapture capture;
    offscreen::ColorTarget target(128, 128);
    SkeletalMesh* actor = MeshManager::instance().getSkeletal("Actor");
    ASSERT_NE(actor, nullptr);
    ASSERT_NE(actor->getSkeleton().findAnimation("Run"), nullptr);
    ShaderProgram& skinned = program("StandardSkeletal");
    SkeletalMeshInstance first(*actor);
    SkeletalMeshInstance second(*actor);
    const glm::mat4 model = fitted(actor->getVertices());

    const auto image = [&](SkeletalMeshInstance& instance) {
        target.begin();
        use(skinned, model);
        plain.apply(skinned);
        instance.draw(skinned);
        glBindVertexArray(0);
        return target.pixels();
    };

    const std::vector<unsigned char> bind = image(first);
    EXPECT_GT(target.drawnPixels(), 100u);
    first.animate("Run", 0.5f, 0.016);
    const std::vector<unsigned char> running = image(first);
    EXPECT_NE(running, bind);
    EXPECT_EQ(image(second), bind);  // the other instance keeps its own pose
    EXPECT_EQ(first.getPose().getPositions(), [&] {
        SkeletonPose pose(actor->getSkeleton());
        pose.update("Run", 0.5f);
        return pose.getPositions();
    }());
    EXPECT_EQ(problems(capture), std::vector<std::string>());

    // A clip the skeleton lacks holds the bind pose, with the skeleton's record.
    first.animate("Cartwheel", 0.3f, 0.016);
    EXPECT_EQ(image(first), bind);
    EXPECT_EQ(capture.count(LogCapture::Severity::error, "Skeleton has no animation [Cartwheel]!"), 1u);
}

}  // namespace renderables_test

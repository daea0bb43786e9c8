#include <GL/glew.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "game/runtime_settings.h"
#include "gl/graphics_scratch.h"
#include "graphics/resources/material.h"
#include "graphics/resources/shader_program.h"
#include "graphics/resources/texture.h"
#include "support/log_capture.h"

using boost::log::trivial::error;

namespace {
const char* const kVertexSource = R"(#version 330
in vec3 vIn_ms_Position;
out vec2 vTexCoord;
void main() {
    vTexCoord = vIn_ms_Position.xy;
    gl_Position = vec4(vIn_ms_Position, 1.0);
}
)";
// Uses every uniform a material sets.
const char* const kFragmentSource = R"(#version 330
in vec2 vTexCoord;
uniform float u_ShadingFactor;
uniform vec3 u_AmbientCoefficient;
uniform vec3 u_DiffuseCoefficient;
uniform vec3 u_SpecularCoefficient;
uniform float u_SpecularExponent;
uniform sampler2D u_DiffuseAlphaMap;
uniform sampler2D u_NormalMap;
uniform int u_NormalMapUsed;
uniform sampler2D u_SpecularMap;
uniform sampler2D u_SelectionSampler;
uniform float u_SelectionSamplerTiling;
uniform sampler2D u_TerrainLayer[3];
uniform float u_TerrainLayerTiling[3];
out vec4 fragColor;
void main() {
    vec4 sum = texture(u_DiffuseAlphaMap, vTexCoord) * u_ShadingFactor * u_SpecularExponent +
               texture(u_SpecularMap, vTexCoord) * vec4(u_AmbientCoefficient + u_DiffuseCoefficient + u_SpecularCoefficient, 1.0) +
               texture(u_SelectionSampler, vTexCoord * u_SelectionSamplerTiling) +
               texture(u_TerrainLayer[0], vTexCoord * u_TerrainLayerTiling[0]) +
               texture(u_TerrainLayer[1], vTexCoord * u_TerrainLayerTiling[1]) +
               texture(u_TerrainLayer[2], vTexCoord * u_TerrainLayerTiling[2]);
    if (u_NormalMapUsed != 0) {
        sum += texture(u_NormalMap, vTexCoord);
    }
    fragColor = sum;
}
)";

GLuint makeTexture() {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const unsigned char pixel[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return texture;
}

class MaterialApplyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TextureManager::instance().clear();
        ShaderProgramManager::instance().clear();
        MaterialManager::instance().clear();
        scratch.write("probe.vert", kVertexSource);
        scratch.write("probe.frag", kFragmentSource);
        ShaderProgramManager::instance().build({"MaterialProbe", "probe.vert", "probe.frag"},
                                               scratch.directory());
        program = ShaderProgramManager::instance().find("MaterialProbe");
        ASSERT_NE(program, nullptr);
        glUseProgram(program->id());
        RuntimeSettings::instance().transparency = true;
    }
    void TearDown() override {
        glUseProgram(0);
        RuntimeSettings::instance().transparency = true;
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
        glDepthFunc(GL_LESS);
        MaterialManager::instance().clear();
        ShaderProgramManager::instance().clear();
        TextureManager::instance().clear();
    }

    // Registers a one-texel texture under name and returns its OpenGL name.
    GLuint addTexture(const std::string& name) {
        const GLuint id = makeTexture();
        TextureManager::instance().add(name, std::make_unique<Texture>(id, 1, 1));
        return id;
    }

    Material parsed(const std::string& text) {
        std::string name;
        std::unique_ptr<Material> material = Material::parse(text, "probe.mtl", name);
        EXPECT_NE(material, nullptr);
        return material ? *material : Material();
    }

    GLuint boundTexture(GLenum unit) const {
        glActiveTexture(GL_TEXTURE0 + unit);
        GLint texture = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        return static_cast<GLuint>(texture);
    }
    GLint integerUniform(const char* name) const {
        GLint value = -1;
        glGetUniformiv(program->id(), glGetUniformLocation(program->id(), name), &value);
        return value;
    }
    float floatUniform(const char* name) const {
        GLfloat value = -1.0f;
        glGetUniformfv(program->id(), glGetUniformLocation(program->id(), name), &value);
        return value;
    }
    static GLint state(GLenum name) {
        GLint value = 0;
        glGetIntegerv(name, &value);
        return value;
    }

    GraphicsScratch scratch;
    ShaderProgram* program = nullptr;
};
}  // namespace

TEST_F(MaterialApplyTest, DefaultMaterialBindsWhiteAndDrawsOpaqueWithDepth) {
    const GLuint white = addTexture(TextureManager::kDefaultTextureName);
    Material material = parsed("material Plain {}");
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_ALWAYS);
    LogCapture log;
    material.apply(*program);
    EXPECT_EQ(log.count(LogCapture::Severity::error), 0u)
        << ::testing::PrintToString(log.messages(LogCapture::Severity::error));
    EXPECT_EQ(boundTexture(0), white);
    EXPECT_EQ(boundTexture(2), white);
    EXPECT_EQ(integerUniform("u_NormalMapUsed"), 0);
    EXPECT_FLOAT_EQ(floatUniform("u_ShadingFactor"), 1.0f);
    EXPECT_FLOAT_EQ(floatUniform("u_SpecularExponent"), 20.0f);
    EXPECT_FLOAT_EQ(floatUniform("u_SelectionSamplerTiling"), 1.0f);
    EXPECT_FLOAT_EQ(floatUniform("u_TerrainLayerTiling[2]"), 1.0f);
    GLfloat diffuse[3] = {};
    glGetUniformfv(program->id(), glGetUniformLocation(program->id(), "u_DiffuseCoefficient"), diffuse);
    EXPECT_FLOAT_EQ(diffuse[1], 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(state(GL_BLEND_SRC_RGB), GL_ONE);
    EXPECT_EQ(state(GL_BLEND_DST_RGB), GL_ZERO);
    EXPECT_EQ(state(GL_DEPTH_WRITEMASK), GL_TRUE);
    EXPECT_EQ(state(GL_DEPTH_FUNC), GL_LESS);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MaterialApplyTest, NamedTexturesGoToTheirUnitsAndTheNormalMapIsAnnounced) {
    addTexture(TextureManager::kDefaultTextureName);
    const GLuint diffuse = addTexture("d.png");
    const GLuint normal = addTexture("n.png");
    const GLuint specular = addTexture("s.png");
    Material surface =
        parsed("material Surface { diffuseAlphaMap = <d.png> normalMap = <n.png> specularMap = <s.png> }");
    surface.apply(*program);
    EXPECT_EQ(boundTexture(0), diffuse);
    EXPECT_EQ(boundTexture(1), normal);
    EXPECT_EQ(boundTexture(2), specular);
    EXPECT_EQ(integerUniform("u_NormalMapUsed"), 1);

    // A terrain rebinds the shared units with its selection map and layers.
    const GLuint selection = addTexture("sel.png");
    const GLuint layers[3] = {addTexture("l0.png"), addTexture("l1.png"), addTexture("l2.png")};
    Material terrain = parsed(
        "material Terrain { selectionSampler = <sel.png> selectionSamplerTiling = -1 terrainLayer0 = "
        "<l0.png> "
        "terrainLayerTiling0 = 10 terrainLayer1 = <l1.png> terrainLayer2 = <l2.png> terrainLayerTiling2 = -2 "
        "}");
    terrain.apply(*program);
    EXPECT_EQ(boundTexture(0), selection);
    EXPECT_EQ(boundTexture(1), layers[0]);
    EXPECT_EQ(boundTexture(2), layers[1]);
    EXPECT_EQ(boundTexture(3), layers[2]);
    EXPECT_EQ(integerUniform("u_NormalMapUsed"), 0);
    EXPECT_FLOAT_EQ(floatUniform("u_SelectionSamplerTiling"), -1.0f);
    EXPECT_FLOAT_EQ(floatUniform("u_TerrainLayerTiling[0]"), 10.0f);
    EXPECT_FLOAT_EQ(floatUniform("u_TerrainLayerTiling[1]"), 1.0f);
    EXPECT_FLOAT_EQ(floatUniform("u_TerrainLayerTiling[2]"), -2.0f);

    // Applied again after the terrain, the surface binds its own textures
    // again although the program last saw them unchanged.
    surface.apply(*program);
    EXPECT_EQ(boundTexture(0), diffuse);
    EXPECT_EQ(boundTexture(1), normal);
    EXPECT_EQ(boundTexture(2), specular);
    EXPECT_EQ(boundTexture(3), layers[2]);  // a unit the surface does not name keeps its texture
    EXPECT_EQ(integerUniform("u_NormalMapUsed"), 1);
}

TEST_F(MaterialApplyTest, BlendModesFollowTheTransparencySwitch) {
    struct Case {
        const char* keyword;
        GLint source;
        GLint destination;
    };
    const Case cases[] = {{"alpha", GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                          {"premultipliedAlpha", GL_ONE, GL_ONE_MINUS_SRC_ALPHA},
                          {"add", GL_ONE, GL_ONE},
                          {"multiply", GL_DST_COLOR, GL_ZERO}};
    addTexture(TextureManager::kDefaultTextureName);
    for (const Case& blend : cases) {
        SCOPED_TRACE(blend.keyword);
        Material material = parsed(std::string("material B { blendMode = ") + blend.keyword +
                                   " depthWrite = off depthCheck = OFF }");
        RuntimeSettings::instance().transparency = true;
        material.apply(*program);
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(state(GL_BLEND_SRC_RGB), blend.source);
        EXPECT_EQ(state(GL_BLEND_DST_RGB), blend.destination);
        EXPECT_EQ(state(GL_DEPTH_WRITEMASK), GL_FALSE);
        EXPECT_EQ(state(GL_DEPTH_FUNC), GL_ALWAYS);

        RuntimeSettings::instance().transparency = false;
        material.apply(*program);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(state(GL_BLEND_SRC_RGB), GL_ONE);
        EXPECT_EQ(state(GL_BLEND_DST_RGB), GL_ZERO);
    }
}

TEST_F(MaterialApplyTest, UnknownTextureNamesAreReportedOnceAndTreatedAsAbsent) {
    const GLuint white = addTexture(TextureManager::kDefaultTextureName);
    Material material = parsed("material Holes { diffuseAlphaMap = <gone.png> normalMap = <gone too.png> }");
    LogCapture log;
    for (int frame = 0; frame < 3; ++frame) {
        material.apply(*program);
        EXPECT_EQ(boundTexture(0), white);
        EXPECT_EQ(integerUniform("u_NormalMapUsed"), 0);
    }
    EXPECT_EQ(log.count(error, "No Texture under that name present: \"gone.png\"!"), 1u);
    EXPECT_EQ(log.count(error, "No Texture under that name present: \"gone too.png\"!"), 1u);
    EXPECT_EQ(log.count(LogCapture::Severity::error), 2u);

    // When the textures are dropped and loaded again the names resolve anew.
    TextureManager::instance().clear();
    const GLuint arrived = addTexture("gone.png");
    material.apply(*program);
    EXPECT_EQ(boundTexture(0), arrived);
}

TEST_F(MaterialApplyTest, ManagerRegistersUnderTheHeaderNameAndKeepsTheFirst) {
    scratch.write("materials/a.mtl", "material Stone { shadingFactor = 0.25 }");
    scratch.write("materials/sub/b.mtl", "material Stone { shadingFactor = 0.75 }");
    scratch.write("materials/c.mtl", "material Broken { depthCheck = True }");
    scratch.write("materials/d.mtl", "# comment\nmaterial\tGlass{blendMode=alpha}");
    LogCapture log;
    MaterialManager& manager = MaterialManager::instance();
    manager.loadDirectory(scratch.directory() + "materials/", ".mtl", true);
    EXPECT_EQ(manager.size(), 2u);
    ASSERT_NE(manager.find("Stone"), nullptr);
    ASSERT_NE(manager.find("Glass"), nullptr);
    EXPECT_EQ(manager.find("Glass")->blendMode, BlendMode::Alpha);
    EXPECT_EQ(manager.find("Broken"), nullptr);
    EXPECT_EQ(log.count(error, "Malformed material file: \"" + scratch.path("materials/c.mtl") + "\"!"), 1u);
    EXPECT_EQ(log.count(error, "Material defined twice, the first definition stays: [Stone]"), 1u);
    EXPECT_EQ(log.count(LogCapture::Severity::error), 2u);
}

#include "graphics/resources/shader_program.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <glm/gtc/quaternion.hpp>
#include <string>

#include "gl/graphics_scratch.h"
#include "graphics/resources/texture.h"
#include "support/log_capture.h"

using boost::log::trivial::debug;
using boost::log::trivial::error;

namespace {
// Declares and really uses a handful of uniforms of every kind.
const char* const kVertexSource = R"(#version 330
in vec3 vIn_ms_Position;
in vec4 vIn_Color;
uniform mat4 u_Model;
uniform mat3 u_NormalTransform;
uniform vec3 u_ms_BonePositionArray[4];
uniform vec4 u_ms_BoneOrientationArray[4];
out vec4 vColor;
void main() {
    vColor = vIn_Color + vec4(u_NormalTransform[0] + u_ms_BonePositionArray[1] + u_ms_BoneOrientationArray[2].xyz, 0.0);
    gl_Position = u_Model * vec4(vIn_ms_Position, 1.0);
}
)";
const char* const kFragmentSource = R"(#version 330
in vec4 vColor;
uniform float u_ShadingFactor;
uniform vec3 u_DiffuseCoefficient;
uniform int u_ParticleSpace;
uniform sampler2D u_DiffuseAlphaMap;
uniform sampler2D u_SelectionSampler;
uniform sampler2D u_NormalMap;
out vec4 fragColor;
void main() {
    fragColor = vColor * u_ShadingFactor * float(u_ParticleSpace) * texture(u_DiffuseAlphaMap, vec2(0.5)) +
                vec4(u_DiffuseCoefficient, 1.0) * texture(u_SelectionSampler, vec2(0.5)) *
                texture(u_NormalMap, vec2(0.5));
}
)";

class ShaderProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch.write("probe.vert", kVertexSource);
        scratch.write("probe.frag", kFragmentSource);
        ShaderProgramManager::instance().clear();
    }
    void TearDown() override {
        glUseProgram(0);
        ShaderProgramManager::instance().clear();
    }

    ShaderProgram& loadProbe() {
        scratch.write("probe.spd",
                      "shaderProgram Probe { vertexShader = <probe.vert> fragmentShader = <probe.frag> }");
        ShaderProgramManager::instance().load(scratch.path("probe.spd"));
        ShaderProgram* program = ShaderProgramManager::instance().find("Probe");
        EXPECT_NE(program, nullptr);
        glUseProgram(program->id());
        return *program;
    }

    GLint location(const ShaderProgram& program, const char* name) const {
        return glGetUniformLocation(program.id(), name);
    }
    float floatValue(const ShaderProgram& program, const char* name) const {
        GLfloat value = 0.0f;
        glGetUniformfv(program.id(), location(program, name), &value);
        return value;
    }
    GLuint boundTexture(GLenum unit) const {
        glActiveTexture(GL_TEXTURE0 + unit);
        GLint texture = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        return static_cast<GLuint>(texture);
    }

    GraphicsScratch scratch;
};

GLuint makeTexture() {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const unsigned char pixel[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return texture;
}
}  // namespace

TEST_F(ShaderProgramTest, TablesNameEveryAttributeAndUniform) {
    EXPECT_STREQ(vertexAttributeName(VertexAttribute::Color), "vIn_Color");
    EXPECT_STREQ(vertexAttributeName(VertexAttribute::ss_OrientationVector), "vIn_ss_OrientationVector");
    EXPECT_STREQ(vertexAttributeName(VertexAttribute::BoneWeight2), "vIn_BoneWeight2");
    EXPECT_STREQ(uniformInfo(Uniform::ModelViewProjection).name, "u_ModelViewProjection");
    EXPECT_STREQ(uniformInfo(Uniform::TerrainLayerTiling2).name, "u_TerrainLayerTiling[2]");
    EXPECT_STREQ(uniformInfo(Uniform::ParticleOrientation).name, "u_ParticleOrientation");
    // Units 0 to 3 are each shared by two samplers; the shadow map has 4.
    const std::pair<Uniform, int32_t> units[] = {
        {Uniform::DiffuseAlphaMap, 0}, {Uniform::SelectionSampler, 0}, {Uniform::NormalMap, 1},
        {Uniform::TerrainLayer0, 1},   {Uniform::SpecularMap, 2},      {Uniform::TerrainLayer1, 2},
        {Uniform::TerrainLayer2, 3},   {Uniform::HdrMap, 3},           {Uniform::ShadowMap, 4}};
    for (const auto& [uniform, unit] : units) {
        EXPECT_EQ(uniformInfo(uniform).type, UniformType::Sampler);
        EXPECT_EQ(uniformInfo(uniform).textureUnit, unit) << uniformInfo(uniform).name;
    }
    int quiet = 0;
    for (uint32_t i = 0; i < kUniformCount; ++i) {
        quiet += uniformInfo(static_cast<Uniform>(i)).quiet ? 1 : 0;
    }
    EXPECT_EQ(quiet, 5);
}

TEST_F(ShaderProgramTest, LooksUpWhatTheShadersUseAndReportsTheRest) {
    ShaderProgram& program = loadProbe();
    LogCapture log;
    // The position always sits at location 0.
    EXPECT_EQ(program.getAttributeLocation(VertexAttribute::ms_Position), 0);
    EXPECT_NE(program.getAttributeLocation(VertexAttribute::Color), -1);
    EXPECT_EQ(log.count(LogCapture::Severity::error), 0u);
    EXPECT_EQ(program.getAttributeLocation(VertexAttribute::ms_Normal), -1);
    EXPECT_EQ(log.count(error, "Attribute does not exist in shader [vIn_ms_Normal]!"), 1u);

    EXPECT_TRUE(program.hasUniform(Uniform::Model));
    EXPECT_TRUE(program.hasUniform(Uniform::ms_BonePositionArray));
    EXPECT_FALSE(program.hasUniform(Uniform::View));
    EXPECT_EQ(log.count(LogCapture::Severity::error), 1u);
}

TEST_F(ShaderProgramTest, RepeatedValuesMakeNoCallButSamplersAlwaysBind) {
    ShaderProgram& program = loadProbe();
    LogCapture log;

    // Values are changed behind the program's back with raw calls: a set that
    // restores them proves that a call was made, one that does not proves it
    // was skipped.
    program.setUniform(Uniform::ShadingFactor, 0.5f);
    EXPECT_FLOAT_EQ(floatValue(program, "u_ShadingFactor"), 0.5f);
    glUniform1f(location(program, "u_ShadingFactor"), 0.25f);
    program.setUniform(Uniform::ShadingFactor, 0.5f);
    EXPECT_FLOAT_EQ(floatValue(program, "u_ShadingFactor"), 0.25f);
    program.setUniform(Uniform::ShadingFactor, 0.75f);
    EXPECT_FLOAT_EQ(floatValue(program, "u_ShadingFactor"), 0.75f);

    program.setUniform(Uniform::DiffuseCoefficient, glm::vec3(1, 2, 3));
    glUniform3f(location(program, "u_DiffuseCoefficient"), 0, 0, 0);
    program.setUniform(Uniform::DiffuseCoefficient, glm::vec3(1, 2, 3));
    GLfloat vector[3] = {};
    glGetUniformfv(program.id(), location(program, "u_DiffuseCoefficient"), vector);
    EXPECT_FLOAT_EQ(vector[0], 0.0f);
    program.setUniform(Uniform::DiffuseCoefficient, glm::vec3(1, 2, 4));
    glGetUniformfv(program.id(), location(program, "u_DiffuseCoefficient"), vector);
    EXPECT_FLOAT_EQ(vector[2], 4.0f);

    program.setUniform(Uniform::ParticleSpace, 1);
    glUniform1i(location(program, "u_ParticleSpace"), 7);
    program.setUniform(Uniform::ParticleSpace, 1);
    GLint integer = 0;
    glGetUniformiv(program.id(), location(program, "u_ParticleSpace"), &integer);
    EXPECT_EQ(integer, 7);

    // A one-element array goes through the check; longer ones are always sent.
    const glm::vec3 bones[2] = {glm::vec3(1.0f), glm::vec3(2.0f)};
    program.setUniform(Uniform::ms_BonePositionArray, bones, 1);
    glUniform3f(location(program, "u_ms_BonePositionArray"), 9, 9, 9);
    program.setUniform(Uniform::ms_BonePositionArray, bones, 1);
    glGetUniformfv(program.id(), location(program, "u_ms_BonePositionArray"), vector);
    EXPECT_FLOAT_EQ(vector[0], 9.0f);
    glUniform3f(location(program, "u_ms_BonePositionArray"), 9, 9, 9);
    program.setUniform(Uniform::ms_BonePositionArray, bones, 2);
    glGetUniformfv(program.id(), location(program, "u_ms_BonePositionArray"), vector);
    EXPECT_FLOAT_EQ(vector[0], 1.0f);
    glGetUniformfv(program.id(), location(program, "u_ms_BonePositionArray[1]"), vector);
    EXPECT_FLOAT_EQ(vector[0], 2.0f);
    const glm::quat orientations[3] = {glm::quat(1, 0, 0, 0), glm::quat(0.5f, 0.1f, 0.2f, 0.3f), glm::quat()};
    program.setUniform(Uniform::ms_BoneOrientationArray, orientations, 3);
    GLfloat quaternion[4] = {};
    glGetUniformfv(program.id(), location(program, "u_ms_BoneOrientationArray[1]"), quaternion);
    EXPECT_FLOAT_EQ(quaternion[0], 0.1f);  // x, y, z, then w
    EXPECT_FLOAT_EQ(quaternion[3], 0.5f);

    // Units are shared: another sampler (or program) may have bound another
    // texture there since, so the same texture is bound again.
    const GLuint first = makeTexture();
    const GLuint second = makeTexture();
    program.setUniform(Uniform::SelectionSampler, first);
    EXPECT_EQ(boundTexture(0), first);
    program.setUniform(Uniform::DiffuseAlphaMap, second);
    EXPECT_EQ(boundTexture(0), second);
    program.setUniform(Uniform::SelectionSampler, first);
    EXPECT_EQ(boundTexture(0), first);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, second);
    program.setUniform(Uniform::NormalMap, first);
    EXPECT_EQ(boundTexture(1), first);
    glBindTexture(GL_TEXTURE_2D, second);
    program.setUniform(Uniform::NormalMap, first);
    EXPECT_EQ(boundTexture(1), first);
    GLint unit = -1;
    glGetUniformiv(program.id(), location(program, "u_NormalMap"), &unit);
    EXPECT_EQ(unit, 1);
    glDeleteTextures(1, &first);
    glDeleteTextures(1, &second);

    EXPECT_EQ(log.count(LogCapture::Severity::error), 0u)
        << ::testing::PrintToString(log.messages(LogCapture::Severity::error));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderProgramTest, MissingUniformsAreReportedOnEveryCallUnlessQuiet) {
    ShaderProgram& program = loadProbe();
    LogCapture log;
    program.setUniform(Uniform::View, glm::mat4(1.0f));
    program.setUniform(Uniform::View, glm::mat4(1.0f));
    program.setUniform(Uniform::SpecularMap, 3u);
    EXPECT_EQ(log.count(error, "Unrecognized uniform variable [u_View]!"), 2u);
    EXPECT_EQ(log.count(error, "Unrecognized uniform variable [u_SpecularMap]!"), 1u);
    EXPECT_EQ(boundTexture(2), 0u);  // nothing was bound for the absent sampler

    log.clear();
    program.setUniform(Uniform::NormalMapUsed, 1);
    program.setUniform(Uniform::ParticleOrientation, 2);
    program.setUniform(Uniform::ms_BoneSkinPositionArray, static_cast<const glm::vec3*>(nullptr), 0);
    EXPECT_EQ(log.records().size(), 0u);
    // A quiet uniform the program has is set as usual.
    program.setUniform(Uniform::NormalTransform, glm::mat3(2.0f));
    GLfloat matrix[9] = {};
    glGetUniformfv(program.id(), location(program, "u_NormalTransform"), matrix);
    EXPECT_FLOAT_EQ(matrix[0], 2.0f);
    EXPECT_FLOAT_EQ(matrix[1], 0.0f);
    EXPECT_EQ(log.records().size(), 0u);

    // A value of a type the uniform does not take makes no call either.
    program.setUniform(Uniform::ShadingFactor, 2);
    EXPECT_EQ(log.count(error, "Uniform variable [u_ShadingFactor] takes a float, not a integer!"), 1u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderProgramTest, DefinitionFilesBuildEachProgramUnderItsName) {
    scratch.write("sub/two.spd",
                  "shaderProgram One { vertexShader = <../probe.vert> fragmentShader = <../probe.frag> }\n"
                  "shaderProgram Two { vertexShader = <../probe.vert> }\n"
                  "shaderProgram One { }\n"
                  "shaderProgram Three_ { }\n"
                  "shaderProgram Four { }\n");
    LogCapture log;
    ShaderProgramManager& manager = ShaderProgramManager::instance();
    manager.loadDirectory(scratch.directory(), ".spd", true);
    ASSERT_NE(manager.find("One"), nullptr);
    ASSERT_NE(manager.find("Two"), nullptr);  // linked with the fragment file of One
    EXPECT_NE(manager.find("One")->id(), manager.find("Two")->id());
    EXPECT_EQ(manager.find("Four"), nullptr);  // after the underscore nothing is read
    EXPECT_EQ(manager.size(), 2u);
    GLint linked = GL_FALSE;
    glGetProgramiv(manager.find("Two")->id(), GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    // The second "One" is reported and the first stays.
    EXPECT_EQ(log.count(error, "[One]"), 1u);
    EXPECT_EQ(log.count(LogCapture::Severity::error), 1u)
        << ::testing::PrintToString(log.messages(LogCapture::Severity::error));
    EXPECT_EQ(log.count(debug, "Compiling vertex shader: <" + scratch.path("sub/../probe.vert") + "> ..."),
              2u);
}

TEST_F(ShaderProgramTest, MissingSourceFileSkipsOnlyThatProgram) {
    scratch.write("holes.spd",
                  "shaderProgram Lost { vertexShader = <absent.vert> fragmentShader = <probe.frag> }\n"
                  "shaderProgram Found { vertexShader = <probe.vert> }\n"
                  "shaderProgram Half { fragmentShader = <absent.frag> }\n");
    LogCapture log;
    ShaderProgramManager::instance().load(scratch.path("holes.spd"));
    EXPECT_EQ(ShaderProgramManager::instance().find("Lost"), nullptr);
    EXPECT_NE(ShaderProgramManager::instance().find("Found"), nullptr);
    EXPECT_EQ(ShaderProgramManager::instance().find("Half"), nullptr);
    EXPECT_EQ(log.count(error, "Shader source file does not exist: \"" + scratch.path("absent.vert") + "\"!"),
              1u);
    EXPECT_EQ(log.count(error, "Shader source file does not exist: \"" + scratch.path("absent.frag") + "\"!"),
              1u);
    EXPECT_EQ(log.count(LogCapture::Severity::error), 2u);
}

TEST_F(ShaderProgramTest, CompileErrorsAreLoggedAndTheProgramStillRegistered) {
    scratch.write("broken.frag", "#version 330\nvoid main() { this does not compile }\n");
    scratch.write("broken.spd",
                  "shaderProgram Broken { vertexShader = <probe.vert> fragmentShader = <broken.frag> }");
    LogCapture log;
    ShaderProgramManager::instance().load(scratch.path("broken.spd"));
    ShaderProgram* broken = ShaderProgramManager::instance().find("Broken");
    ASSERT_NE(broken, nullptr);
    EXPECT_GE(log.count(LogCapture::Severity::error), 1u);
    log.clear();
    EXPECT_FALSE(broken->hasUniform(Uniform::Model));
    EXPECT_EQ(broken->getAttributeLocation(VertexAttribute::ms_Position), -1);
    EXPECT_EQ(log.count(error, "Attribute does not exist in shader [vIn_ms_Position]!"), 1u);
    while (glGetError() != GL_NO_ERROR) {
    }
}

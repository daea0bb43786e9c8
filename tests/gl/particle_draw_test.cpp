// The instanced particle draw on a real context: the instance buffer holds
// the simulated records, the vertex array reads them per instance, and only
// live particles reach the screen.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/particles/particle_effects.h"
#include "graphics/particles/particle_system_instance.h"
#include "graphics/resources/shader_program.h"
#include "support/log_capture.h"

namespace particle_draw_test {

// Every particle input and both particle uniforms are live, so the lookups
// find them all. Centres are in normalised device coordinates.
const char* const kVertexSource = R"(#version 330
in vec3 vIn_ms_Position;
in vec3 vIn_ss_CenterPosition;
in float vIn_Size;
in float vIn_Rotation;
in vec4 vIn_Color;
in float vIn_Lifetime;
in vec3 vIn_ss_OrientationVector;
uniform int u_ParticleSpace;
uniform int u_ParticleOrientation;
out vec4 vColor;
void main() {
    vColor = vIn_Color;
    if (vIn_Lifetime <= 0.0) {
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        return;
    }
    float angle = radians(vIn_Rotation);
    vec2 corner = mat2(cos(angle), sin(angle), -sin(angle), cos(angle)) * vIn_ms_Position.xy * vIn_Size;
    vec2 center = vIn_ss_CenterPosition.xy + vIn_ss_OrientationVector.xy * 1e-4;
    if (u_ParticleSpace == 7 || u_ParticleOrientation == 7) {
        center += vec2(5.0);
    }
    gl_Position = vec4(center + corner, 0.0, 1.0);
}
)";

const char* const kFragmentSource = R"(#version 330
in vec4 vColor;
out vec4 fragmentColor;
void main() { fragmentColor = vColor; }
)";

GLuint compile(GLenum stage, const char* source) {
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    EXPECT_EQ(ok, GL_TRUE);
    return shader;
}

std::unique_ptr<ShaderProgram> particleProgram() {
    const GLuint program = glCreateProgram();
    const GLuint vertex = compile(GL_VERTEX_SHADER, kVertexSource);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentSource);
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    EXPECT_EQ(ok, GL_TRUE);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return std::make_unique<ShaderProgram>(program);
}

GLuint boundVertexArray() {
    GLint name = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &name);
    return static_cast<GLuint>(name);
}

GLint attributeInt(GLuint location, GLenum what) {
    GLint value = -1;
    glGetVertexAttribiv(location, what, &value);
    return value;
}

std::uintptr_t attributeOffset(GLuint location) {
    void* pointer = nullptr;
    glGetVertexAttribPointerv(location, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
    return reinterpret_cast<std::uintptr_t>(pointer);
}

std::vector<unsigned char> bufferBytes(GLuint buffer, std::size_t size) {
    std::vector<unsigned char> bytes(size);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(size), bytes.data());
    return bytes;
}

std::vector<unsigned char> recordBytes(const ParticleSystemInstance& instance) {
    const auto* first = reinterpret_cast<const unsigned char*>(instance.vertices().data());
    return std::vector<unsigned char>(first, first + instance.vertices().size() * sizeof(ParticleVertex));
}

// The pixel under a point given in normalised device coordinates.
std::array<unsigned char, 4> pixelAt(float x, float y) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const GLint px = viewport[0] + static_cast<GLint>((x + 1.0f) * 0.5f * static_cast<float>(viewport[2]));
    const GLint py = viewport[1] + static_cast<GLint>((y + 1.0f) * 0.5f * static_cast<float>(viewport[3]));
    std::array<unsigned char, 4> pixel{};
    glReadPixels(px, py, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    return pixel;
}

void prepareFrame() {
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Two particles: a live red one in the middle of the screen and a dead green
// one to the upper right.
ParticleSystem twoParticles() {
    return ParticleSystem(2, ParticleSystem::ModelSpace, ParticleSystem::AlongVelocity);
}

void placeTwo(ParticleSystemInstance& instance) {
    ParticleVertex& live = instance.vertex(0);
    live.position = glm::vec3(0.0f);
    live.size = 0.5f;
    live.color = glm::vec4(1.0f, 0.0f, 0.0f, 1.0f);
    live.lifetime = 10.0f;
    live.velocity = glm::vec3(0.0f, 1.0f, 0.0f);
    ParticleVertex& dead = instance.vertex(1);
    dead.position = glm::vec3(0.5f, 0.5f, 0.0f);
    dead.size = 0.5f;
    dead.color = glm::vec4(0.0f, 1.0f, 0.0f, 1.0f);
    dead.lifetime = 0.0f;
}

// Puts back the state the drawing tests change, for the tests that follow.
class ParticleDraw : public ::testing::Test {
  protected:
    void SetUp() override {
        depthTest = glIsEnabled(GL_DEPTH_TEST);
        blend = glIsEnabled(GL_BLEND);
        cullFace = glIsEnabled(GL_CULL_FACE);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    }
    void TearDown() override {
        glBindVertexArray(0);
        glUseProgram(0);
        restore(GL_DEPTH_TEST, depthTest);
        restore(GL_BLEND, blend);
        restore(GL_CULL_FACE, cullFace);
        glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    }

  private:
    static void restore(GLenum capability, GLboolean enabled) {
        if (enabled) {
            glEnable(capability);
        } else {
            glDisable(capability);
        }
    }
    GLboolean depthTest = GL_FALSE;
    GLboolean blend = GL_FALSE;
    GLboolean cullFace = GL_FALSE;
    GLfloat clearColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

}  // namespace particle_draw_test

using particle_draw_test::ParticleDraw;
using namespace particle_draw_test;

TEST_F(ParticleDraw, UploadsEveryRecordAndReadsItOncePerInstance) {
    auto program = particleProgram();
    const ParticleSystem system = twoParticles();
    ParticleSystemInstance instance(system);
    placeTwo(instance);

    prepareFrame();
    glUseProgram(program->id());
    instance.upload();
    instance.draw(*program);
    ASSERT_NE(boundVertexArray(), 0u);  // the instance's own, for this program

    // The corner comes from the shared quad, one per vertex.
    const auto corner = static_cast<GLuint>(program->getAttributeLocation(VertexAttribute::ms_Position));
    EXPECT_EQ(attributeInt(corner, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_TRUE);
    EXPECT_EQ(attributeInt(corner, GL_VERTEX_ATTRIB_ARRAY_SIZE), 3);
    EXPECT_EQ(attributeInt(corner, GL_VERTEX_ATTRIB_ARRAY_DIVISOR), 0);
    EXPECT_EQ(attributeOffset(corner), 0u);
    const auto quadBuffer = static_cast<GLuint>(attributeInt(corner, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING));
    std::vector<unsigned char> quad(48);
    std::memcpy(quad.data(), kParticleQuadCorners.data(), 48);
    EXPECT_EQ(bufferBytes(quadBuffer, 48), quad);

    // Everything else from the instance buffer, 52-byte records, one per instance.
    GLuint instanceBuffer = 0;
    for (const ParticleInstanceAttribute& input : kParticleInstanceAttributes) {
        SCOPED_TRACE(vertexAttributeName(input.attribute));
        const auto location = static_cast<GLuint>(program->getAttributeLocation(input.attribute));
        EXPECT_EQ(attributeInt(location, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_TRUE);
        EXPECT_EQ(attributeInt(location, GL_VERTEX_ATTRIB_ARRAY_SIZE), input.components);
        EXPECT_EQ(attributeInt(location, GL_VERTEX_ATTRIB_ARRAY_STRIDE), 52);
        EXPECT_EQ(attributeInt(location, GL_VERTEX_ATTRIB_ARRAY_TYPE), GL_FLOAT);
        EXPECT_EQ(attributeInt(location, GL_VERTEX_ATTRIB_ARRAY_DIVISOR), 1);
        EXPECT_EQ(attributeOffset(location), input.offset);
        instanceBuffer = static_cast<GLuint>(attributeInt(location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING));
    }
    EXPECT_NE(instanceBuffer, quadBuffer);
    EXPECT_EQ(bufferBytes(instanceBuffer, 104), recordBytes(instance));

    // The uniforms carry the description's space and orientation.
    GLint space = -1;
    GLint orientation = -1;
    glGetUniformiv(program->id(), glGetUniformLocation(program->id(), "u_ParticleSpace"), &space);
    glGetUniformiv(program->id(), glGetUniformLocation(program->id(), "u_ParticleOrientation"), &orientation);
    EXPECT_EQ(space, 0);
    EXPECT_EQ(orientation, 2);

    // Only the live particle shows.
    const auto middle = pixelAt(0.0f, 0.0f);
    EXPECT_EQ(middle[0], 255);
    EXPECT_EQ(middle[1], 0);
    const auto upperRight = pixelAt(0.5f, 0.5f);
    EXPECT_EQ(upperRight[0], 0);
    EXPECT_EQ(upperRight[1], 0);

    // A frame's update re-uploads what it simulated.
    instance.update(Entity(), 0.5);
    EXPECT_EQ(bufferBytes(instanceBuffer, 104), recordBytes(instance));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ParticleDraw, ABufferMadeAtTheFirstDrawHoldsTheCurrentRecords) {
    auto program = particleProgram();
    const ParticleSystem system = twoParticles();
    ParticleSystemInstance instance(system);
    placeTwo(instance);
    prepareFrame();
    glUseProgram(program->id());
    instance.draw(*program);  // no update or upload before
    EXPECT_EQ(pixelAt(0.0f, 0.0f)[0], 255);
    EXPECT_EQ(pixelAt(0.5f, 0.5f)[1], 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ParticleDraw, KeepsOneVertexArrayPerProgramThatDrewIt) {
    auto first = particleProgram();
    auto second = particleProgram();
    const ParticleSystem system = twoParticles();
    ParticleSystemInstance instance(system);
    placeTwo(instance);
    prepareFrame();
    glUseProgram(first->id());
    instance.draw(*first);
    const GLuint firstArray = boundVertexArray();
    glUseProgram(second->id());
    instance.draw(*second);
    const GLuint secondArray = boundVertexArray();
    glUseProgram(first->id());
    instance.draw(*first);

    EXPECT_NE(firstArray, 0u);
    EXPECT_NE(secondArray, 0u);
    EXPECT_NE(secondArray, firstArray);
    EXPECT_EQ(boundVertexArray(), firstArray);  // made once, bound again
    // Both describe the same buffers.
    for (ShaderProgram* program : {first.get(), second.get()}) {
        glBindVertexArray(program == first.get() ? firstArray : secondArray);
        const auto size = static_cast<GLuint>(program->getAttributeLocation(VertexAttribute::Size));
        EXPECT_EQ(attributeInt(size, GL_VERTEX_ATTRIB_ARRAY_DIVISOR), 1);
        EXPECT_EQ(attributeOffset(size), 12u);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ParticleDraw, TheShippedParticleProgramTakesEveryEffectWithoutAComplaint) {
    auto& programs = ShaderProgramManager::instance();
    programs.clear();
    LogCapture capture;
    programs.load("resources/shaders/programs.spd");
    ShaderProgram* program = programs.find("Particle");
    ASSERT_NE(program, nullptr);
    prepareFrame();
    glUseProgram(program->id());
    for (const std::string& name : ParticleEffectLibrary::instance().names()) {
        SCOPED_TRACE(name);
        auto effect = ParticleEffectLibrary::instance().create(name);
        ASSERT_TRUE(effect);
        for (int frame = 0; frame < 3; ++frame) {
            effect->update(Entity(), 1.0 / 60.0);
            effect->draw(*program);
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    // Every input the particles look up and both quiet uniforms are live.
    EXPECT_EQ(capture.count(LogCapture::Severity::error), 0u) << ::testing::PrintToString(capture.messages());
    programs.clear();
}

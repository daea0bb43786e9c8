// The shader programs, materials and textures the game ships: they load
// without a single error record, every uniform the engine sets on a program
// and every attribute a renderable looks up is live in it, and the shaders
// draw what the materials ask for.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <string>
#include <vector>

#include "graphics/resources/material.h"
#include "graphics/resources/shader_program.h"
#include "graphics/resources/texture.h"
#include "offscreen_target.h"
#include "support/log_capture.h"

namespace {
using U = Uniform;
using A = VertexAttribute;

const std::vector<U> kMaterialUniforms = {
    U::ShadingFactor,    U::AmbientCoefficient,     U::DiffuseCoefficient, U::SpecularCoefficient,
    U::SpecularExponent, U::DiffuseAlphaMap,        U::SpecularMap,        U::NormalMap,
    U::SelectionSampler, U::SelectionSamplerTiling, U::TerrainLayer0,      U::TerrainLayerTiling0,
    U::TerrainLayer1,    U::TerrainLayerTiling1,    U::TerrainLayer2,      U::TerrainLayerTiling2};
const std::vector<U> kUniformStep = {U::Model, U::View, U::Projection, U::es_LightDirection};
const std::vector<A> kMeshAttributes = {A::ms_Position, A::ms_Normal,    A::ts_TexCoord,
                                        A::ms_Tangent,  A::ms_Bitangent, A::Color};
const std::vector<A> kBoneAttributes = {A::BoneIndex1, A::BoneWeight1, A::BoneIndex2, A::BoneWeight2};
const std::vector<A> kQuadAttributes = {A::Color, A::ms_Position, A::ts_TexCoord};
const std::vector<A> kParticleAttributes = {
    A::ms_Position, A::ss_CenterPosition,   A::Size, A::Rotation, A::Color,
    A::Lifetime,    A::ss_OrientationVector};

std::vector<U> joined(std::initializer_list<std::vector<U>> lists) {
    std::vector<U> all;
    for (const auto& list : lists) {
        all.insert(all.end(), list.begin(), list.end());
    }
    return all;
}

enum class Kind { StaticMesh, SkeletalMesh, Billboard, Particles, Overlay };

// Which program draws which material, as the render passes pair them.
struct Pairing {
    const char* material;
    const char* program;
    Kind kind;
    bool mainPass;  // the main pass sets the shadow map and its matrix
};
const Pairing kPairings[] = {
    {"Rock", "StandardStatic", Kind::StaticMesh, true},
    {"Wall", "StandardStatic", Kind::StaticMesh, true},
    {"Pillar", "StandardStatic", Kind::StaticMesh, true},
    {"Tree", "StandardStatic", Kind::StaticMesh, true},
    {"Floor", "StandardStatic", Kind::StaticMesh, true},
    {"Rock", "ShadowStatic", Kind::StaticMesh, false},
    {"Wall", "ShadowStatic", Kind::StaticMesh, false},
    {"Pillar", "ShadowStatic", Kind::StaticMesh, false},
    {"Tree", "ShadowStatic", Kind::StaticMesh, false},
    {"Floor", "ShadowStatic", Kind::StaticMesh, false},
    {"Lightning", "StandardStatic", Kind::StaticMesh, true},
    {"Outland", "Scenery", Kind::StaticMesh, true},
    {"OutlandRocks", "Scenery", Kind::StaticMesh, true},
    {"OutlandTrees", "Scenery", Kind::StaticMesh, true},
    {"BlueBase", "Scenery", Kind::StaticMesh, true},
    {"RedBase", "Scenery", Kind::StaticMesh, true},
    {"Blue", "StandardSkeletal", Kind::SkeletalMesh, true},
    {"Red", "StandardSkeletal", Kind::SkeletalMesh, true},
    {"Blue", "ShadowSkeletal", Kind::SkeletalMesh, false},
    {"Red", "ShadowSkeletal", Kind::SkeletalMesh, false},
    {"Flag", "Billboard", Kind::Billboard, true},
    {"HealthBarBorder", "Billboard", Kind::Billboard, false},
    {"HealthBar", "Billboard", Kind::Billboard, false},
    {"Flame", "Particle", Kind::Particles, true},
    {"Ember", "Particle", Kind::Particles, true},
    {"Explosion", "Particle", Kind::Particles, true},
    {"Spark", "Particle", Kind::Particles, true},
    {"PressureWave", "Particle", Kind::Particles, true},
    {"ScoreBar", "Overlay", Kind::Overlay, false},
    {"ScorePointsBlue", "Overlay", Kind::Overlay, false},
    {"SkillBar", "Overlay", Kind::Overlay, false},
    {"SkillCooldownOverlay", "Overlay", Kind::Overlay, false},
    {"Help", "Overlay", Kind::Overlay, false},
};

// Loads everything once for the whole suite, as start-up does.
class ShippedGraphicsContent : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        LogCapture log;
        MaterialManager::instance().clear();
        ShaderProgramManager::instance().clear();
        TextureManager::instance().clear();
        MaterialManager::instance().loadDirectory("resources/materials/", ".mtl", true);
        ShaderProgramManager::instance().loadDirectory("resources/shaders/", ".spd", true);
        TextureManager::instance().loadDirectory("resources/textures/", "", true);
        loadErrors = new std::vector<std::string>(log.messages(LogCapture::Severity::error));

        // A depth texture set up like the shadow map, for the main pass.
        glGenTextures(1, &shadowMap);
        glBindTexture(GL_TEXTURE_2D, shadowMap);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, 16, 16, 0, GL_DEPTH_COMPONENT, GL_FLOAT,
                     nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);

        // A full-screen quad: positions in NDC, texture coordinates 0 to 1.
        const float quad[] = {-1, -1, 0, 0, 0, 1, -1, 0, 1, 0, -1, 1, 0, 0, 1, 1, 1, 0, 1, 1};
        glGenBuffers(1, &quadBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, quadBuffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof(quad), quad, GL_STATIC_DRAW);
        // The particles' unit quad, as the particle systems share it.
        const float corners[] = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, -0.5f, 0.5f, 0, 0.5f, 0.5f, 0};
        glGenBuffers(1, &cornerBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, cornerBuffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof(corners), corners, GL_STATIC_DRAW);
        glGenVertexArrays(1, &vertexArray);
    }

    static void TearDownTestSuite() {
        glDeleteVertexArrays(1, &vertexArray);
        glDeleteBuffers(1, &quadBuffer);
        glDeleteBuffers(1, &cornerBuffer);
        glDeleteTextures(1, &shadowMap);
        glUseProgram(0);
        MaterialManager::instance().clear();
        ShaderProgramManager::instance().clear();
        TextureManager::instance().clear();
        delete loadErrors;
    }

    void SetUp() override {
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        width = viewport[2];
        height = viewport[3];
        glDisable(GL_CULL_FACE);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    void TearDown() override {
        glEnable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
        glDepthFunc(GL_LESS);
        glClearColor(0.3f, 0.3f, 0.3f, 1.0f);
    }

    static ShaderProgram& program(const char* name) {
        ShaderProgram* program = ShaderProgramManager::instance().find(name);
        EXPECT_NE(program, nullptr) << name;
        return *program;
    }
    static Material& material(const char* name) {
        Material* material = MaterialManager::instance().find(name);
        EXPECT_NE(material, nullptr) << name;
        return *material;
    }

    // What the render processor sets before applying a material (the HUD
    // sets nothing of this): identity
    // matrices (positions are NDC), the sun straight into the screen.
    static void uniformStep(ShaderProgram& program, bool mainPass) {
        if (mainPass) {
            program.setUniform(U::ShadowMap, shadowMap);
            // Set, as the render processor does, only where the program declares it.
            if (program.hasUniform(U::ShadowMapModelViewProjection)) {
                program.setUniform(U::ShadowMapModelViewProjection, glm::mat4(0.0f));  // no shadow lookups
            }
        }
        program.setUniform(U::Model, glm::mat4(1.0f));
        program.setUniform(U::View, glm::mat4(1.0f));
        program.setUniform(U::Projection, glm::mat4(1.0f));
        program.setUniform(U::NormalTransform, glm::mat3(1.0f));
        program.setUniform(U::es_LightDirection, glm::vec3(0.0f, 0.0f, -1.0f));
    }

    // Binds the quad's vertex array with the attributes kind looks up: a
    // full-screen quad, or the unit quad of one particle at the centre. The
    // other attributes read constants: facing the viewer, white, one bone,
    // particles of size 1 with a second to live.
    static void setUpQuad(ShaderProgram& program, Kind kind) {
        glBindVertexArray(vertexArray);
        glBindBuffer(GL_ARRAY_BUFFER, kind == Kind::Particles ? cornerBuffer : quadBuffer);
        const GLsizei stride = kind == Kind::Particles ? 12 : 20;
        std::vector<A> lookups;
        switch (kind) {
            case Kind::StaticMesh:
                lookups = kMeshAttributes;
                break;
            case Kind::SkeletalMesh:
                lookups = kMeshAttributes;
                lookups.insert(lookups.end(), kBoneAttributes.begin(), kBoneAttributes.end());
                break;
            case Kind::Billboard:
            case Kind::Overlay:
                lookups = kQuadAttributes;
                break;
            case Kind::Particles:
                lookups = kParticleAttributes;
                break;
        }
        for (const A attribute : lookups) {
            const GLint location = program.getAttributeLocation(attribute);
            if (location < 0) {
                continue;
            }
            const GLuint index = static_cast<GLuint>(location);
            glDisableVertexAttribArray(index);
            switch (attribute) {
                case A::ms_Position:
                    glEnableVertexAttribArray(index);
                    glVertexAttribPointer(index, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
                    break;
                case A::ts_TexCoord:
                    glEnableVertexAttribArray(index);
                    glVertexAttribPointer(index, 2, GL_FLOAT, GL_FALSE, 20, reinterpret_cast<void*>(12));
                    break;
                case A::ms_Normal:
                    glVertexAttrib3f(index, 0, 0, 1);
                    break;
                case A::ms_Tangent:
                    glVertexAttrib3f(index, 1, 0, 0);
                    break;
                case A::ms_Bitangent:
                    glVertexAttrib3f(index, 0, 1, 0);
                    break;
                case A::Color:
                    glVertexAttrib4f(index, 1, 1, 1, 1);
                    break;
                case A::BoneIndex1:
                case A::BoneIndex2:
                    glVertexAttribI1ui(index, 0);
                    break;
                case A::BoneWeight1:
                    glVertexAttrib1f(index, 1.0f);
                    break;
                case A::Size:
                case A::Lifetime:
                    glVertexAttrib1f(index, 1.0f);
                    break;
                default:
                    glVertexAttrib4f(index, 0, 0, 0, 1);
                    break;
            }
        }
    }

    static void draw(Kind kind) {
        if (kind == Kind::Particles) {
            glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, 1);
        } else {
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        }
    }

    // The colour at a point given in normalised device coordinates.
    glm::vec3 pixel(float x, float y) const {
        unsigned char rgba[4] = {};
        glReadPixels(static_cast<GLint>((x + 1.0f) * 0.5f * width),
                     static_cast<GLint>((y + 1.0f) * 0.5f * height), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return glm::vec3(rgba[0], rgba[1], rgba[2]) / 255.0f;
    }
    // The mean colour of the whole window.
    glm::vec3 meanColour() const {
        std::vector<unsigned char> data(static_cast<std::size_t>(width) * height * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, data.data());
        glm::dvec3 sum(0.0);
        for (std::size_t i = 0; i < data.size(); i += 4) {
            sum += glm::dvec3(data[i], data[i + 1], data[i + 2]);
        }
        return glm::vec3(sum / (255.0 * width * height));
    }

    static inline std::vector<std::string>* loadErrors = nullptr;
    static inline GLuint shadowMap = 0;
    static inline GLuint quadBuffer = 0;
    static inline GLuint cornerBuffer = 0;
    static inline GLuint vertexArray = 0;
    int width = 0;
    int height = 0;
};
}  // namespace

TEST_F(ShippedGraphicsContent, EverythingLoadsWithoutAnErrorRecord) {
    EXPECT_TRUE(loadErrors->empty()) << ::testing::PrintToString(*loadErrors);
    for (const char* name : {"StandardStatic", "StandardSkeletal", "ShadowStatic", "ShadowSkeletal",
                             "Billboard", "Particle", "Overlay", "Text", "Scenery"}) {
        ShaderProgram& shipped = program(name);
        GLint linked = GL_FALSE;
        glGetProgramiv(shipped.id(), GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE) << name;
    }
    for (const char* name : {"Rock",         "Wall",
                             "Pillar",       "Tree",
                             "Floor",        "Blue",
                             "Red",          "Flag",
                             "Flame",        "Ember",
                             "Explosion",    "Spark",
                             "PressureWave", "Lightning",
                             "HealthBar",    "HealthBarBorder",
                             "ScoreBar",     "ScorePointsBlue",
                             "SkillBar",     "SkillCooldownOverlay",
                             "Help",         "Outland",
                             "OutlandRocks", "OutlandTrees",
                             "BlueBase",     "RedBase"}) {
        EXPECT_NE(MaterialManager::instance().find(name), nullptr) << name;
    }
    EXPECT_NE(TextureManager::instance().find(TextureManager::kDefaultTextureName), nullptr);
    // The HUD draws over the scene: no depth test, no depth writes.
    for (const char* name : {"ScoreBar", "ScorePointsBlue", "SkillBar", "SkillCooldownOverlay", "Help"}) {
        EXPECT_FALSE(material(name).depthCheck) << name;
        EXPECT_FALSE(material(name).depthWrite) << name;
        EXPECT_EQ(material(name).blendMode, BlendMode::Alpha) << name;
    }
}

TEST_F(ShippedGraphicsContent, EveryUniformTheEngineSetsIsLive) {
    const std::vector<U> mainPass = joined({kUniformStep, kMaterialUniforms, {U::ShadowMap}});
    const std::vector<U> shadowPass = joined({kUniformStep, kMaterialUniforms});
    const std::vector<U> bones = {U::ms_BoneSkinPositionArray, U::ms_BonePositionArray,
                                  U::ms_BoneOrientationArray};
    const std::pair<const char*, std::vector<U>> expectations[] = {
        {"StandardStatic",
         joined({mainPass, {U::ShadowMapModelViewProjection, U::NormalTransform, U::NormalMapUsed}})},
        {"StandardSkeletal",
         joined({mainPass, bones, {U::ShadowMapModelViewProjection, U::NormalTransform, U::NormalMapUsed}})},
        {"ShadowStatic", joined({shadowPass, {U::NormalTransform, U::NormalMapUsed}})},
        {"ShadowSkeletal", joined({shadowPass, bones, {U::NormalTransform, U::NormalMapUsed}})},
        {"Billboard", joined({mainPass, {U::ShadowMapModelViewProjection}})},
        // Particles are unlit and unshadowed: no shadow coordinates.
        {"Particle", joined({mainPass, {U::ParticleSpace, U::ParticleOrientation}})},
        // Its materials name a diffuse and a specular map only, so the
        // normal-map, selection and terrain-layer samplers are never set.
        {"Scenery",
         joined({kUniformStep,
                 {U::ShadowMap, U::ShadowMapModelViewProjection, U::ShadingFactor, U::AmbientCoefficient,
                  U::DiffuseCoefficient, U::SpecularCoefficient, U::SpecularExponent, U::DiffuseAlphaMap,
                  U::SpecularMap, U::SelectionSamplerTiling, U::TerrainLayerTiling0, U::TerrainLayerTiling1,
                  U::TerrainLayerTiling2}})},
        {"Overlay", kMaterialUniforms},
        {"Text", {U::DiffuseAlphaMap}},
    };
    for (const auto& [name, uniforms] : expectations) {
        ShaderProgram& shipped = program(name);
        for (const U uniform : uniforms) {
            EXPECT_TRUE(shipped.hasUniform(uniform)) << name << " lacks " << uniformInfo(uniform).name;
        }
    }
    // The shadow programs must not read the shadow map they draw into.
    EXPECT_FALSE(program("ShadowStatic").hasUniform(U::ShadowMap));
    EXPECT_FALSE(program("ShadowSkeletal").hasUniform(U::ShadowMap));
}

TEST_F(ShippedGraphicsContent, TheProgramsWithoutLightingDrawOnlyUnlitMaterials) {
    // "Particle" and "Overlay" shade with one texture read and no sun: a lit
    // material there would lose its lighting and shadows.
    for (const Pairing& pairing : kPairings) {
        const std::string name = pairing.program;
        if (name == "Particle" || name == "Overlay") {
            EXPECT_EQ(material(pairing.material).shadingFactor, 0.0f) << pairing.material;
        }
    }
}

TEST_F(ShippedGraphicsContent, EveryMaterialDrawsWithItsProgramWithoutAnyRecordOrError) {
    LogCapture log;
    for (const Pairing& pairing : kPairings) {
        SCOPED_TRACE(std::string(pairing.material) + " with " + pairing.program);
        ShaderProgram& shipped = program(pairing.program);
        glUseProgram(shipped.id());
        if (pairing.kind != Kind::Overlay) {
            uniformStep(shipped, pairing.mainPass);
        }
        if (pairing.kind == Kind::SkeletalMesh) {
            const glm::vec3 origin(0.0f);
            const glm::quat identity(1.0f, 0.0f, 0.0f, 0.0f);
            shipped.setUniform(U::ms_BoneSkinPositionArray, &origin, 1);
            shipped.setUniform(U::ms_BonePositionArray, &origin, 1);
            shipped.setUniform(U::ms_BoneOrientationArray, &identity, 1);
        }
        if (pairing.kind == Kind::Particles) {
            shipped.setUniform(U::ParticleSpace, 1);
            shipped.setUniform(U::ParticleOrientation, 0);
        }
        material(pairing.material).apply(shipped);
        setUpQuad(shipped, pairing.kind);
        draw(pairing.kind);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_EQ(log.count(LogCapture::Severity::error), 0u)
            << ::testing::PrintToString(log.messages(LogCapture::Severity::error));
        log.clear();
    }
    glBindVertexArray(0);
}

TEST_F(ShippedGraphicsContent, OnlyTerrainMaterialsBlendTerrainLayers) {
    ShaderProgram& standard = program("StandardStatic");
    glUseProgram(standard.id());
    uniformStep(standard, true);
    setUpQuad(standard, Kind::StaticMesh);

    material("Floor").apply(standard);
    draw(Kind::StaticMesh);
    const glm::vec3 floor = meanColour();
    EXPECT_GT(floor.g, floor.r);  // mostly grass
    EXPECT_GT(floor.g, floor.b);

    // The wall comes next: units 1 to 3 still hold the terrain layers, but
    // the wall is drawn from its own sandstone texture.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    material("Wall").apply(standard);
    draw(Kind::StaticMesh);
    const glm::vec3 wall = meanColour();
    EXPECT_GT(wall.r, wall.g);
    EXPECT_GT(wall.g, wall.b);
    EXPECT_GT(wall.r, floor.r);
    glBindVertexArray(0);
}

TEST_F(ShippedGraphicsContent, DeadParticlesAreNotDrawn) {
    ShaderProgram& particles = program("Particle");
    glUseProgram(particles.id());
    uniformStep(particles, true);
    particles.setUniform(U::ParticleSpace, 1);
    particles.setUniform(U::ParticleOrientation, 0);
    material("Ember").apply(particles);
    setUpQuad(particles, Kind::Particles);
    const GLuint lifetime = static_cast<GLuint>(particles.getAttributeLocation(A::Lifetime));

    glVertexAttrib1f(lifetime, 0.0f);
    draw(Kind::Particles);
    EXPECT_LT(glm::length(pixel(0.0f, 0.0f)), 0.01f);
    glVertexAttrib1f(lifetime, 0.5f);
    draw(Kind::Particles);
    EXPECT_GT(pixel(0.0f, 0.0f).r, 0.5f);              // the ember's bright centre, added to black
    EXPECT_LT(glm::length(pixel(0.9f, 0.9f)), 0.01f);  // the unit quad spans -0.5 to 0.5
    glBindVertexArray(0);
}

TEST_F(ShippedGraphicsContent, SkinningMovesVerticesWithTheirBone) {
    ShaderProgram& skeletal = program("StandardSkeletal");
    glUseProgram(skeletal.id());
    uniformStep(skeletal, true);
    material("Blue").apply(skeletal);
    setUpQuad(skeletal, Kind::SkeletalMesh);
    // The quad spans -1 to 1 in model space and the model matrix scales by
    // 0.1. Its bone sits at (-2, 0) in the bind pose and is posed at the
    // origin with a quarter turn about z: the quad's centre goes from (2, 0)
    // (model units from the bone) to (0, 2), which is NDC (0, 0.2).
    skeletal.setUniform(U::Model, glm::scale(glm::mat4(1.0f), glm::vec3(0.1f)));
    const glm::vec3 skin(-2.0f, 0.0f, 0.0f);
    const glm::vec3 posed(0.0f);
    const glm::quat turn = glm::angleAxis(glm::radians(90.0f), glm::vec3(0.0f, 0.0f, 1.0f));
    skeletal.setUniform(U::ms_BoneSkinPositionArray, &skin, 1);
    skeletal.setUniform(U::ms_BonePositionArray, &posed, 1);
    skeletal.setUniform(U::ms_BoneOrientationArray, &turn, 1);
    draw(Kind::SkeletalMesh);
    EXPECT_GT(pixel(0.0f, 0.2f).b, 0.3f);              // team Blue's cloth
    EXPECT_LT(glm::length(pixel(0.2f, 0.0f)), 0.01f);  // where it would be unturned
    EXPECT_LT(glm::length(pixel(0.0f, 0.0f)), 0.01f);  // where it would be unskinned
    glBindVertexArray(0);
}

TEST_F(ShippedGraphicsContent, ShadowsDarkenWhatTheSunCannotSee) {
    // The sun looks along the camera's view here, so the shadow matrix is the
    // identity: an occluder over the left half of the view, nearer than the
    // receiver, must shade the left half of the receiver only.
    offscreen::ShadowTarget shadow(256);
    ASSERT_TRUE(shadow.complete);

    // Shadow pass: the occluder at NDC depth -0.5, over x < 0.
    shadow.begin();
    ShaderProgram& caster = program("ShadowStatic");
    glUseProgram(caster.id());
    uniformStep(caster, false);
    const glm::mat4 occluder = glm::translate(glm::mat4(1.0f), glm::vec3(-0.5f, 0.0f, -0.5f)) *
                               glm::scale(glm::mat4(1.0f), glm::vec3(0.5f, 1.0f, 1.0f));
    caster.setUniform(U::Model, occluder);
    material("Wall").apply(caster);
    setUpQuad(caster, Kind::StaticMesh);
    draw(Kind::StaticMesh);

    // Main pass: the receiver fills the view at NDC depth 0.5.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDrawBuffer(GL_BACK);
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ShaderProgram& receiver = program("StandardStatic");
    glUseProgram(receiver.id());
    uniformStep(receiver, true);
    const glm::mat4 behind = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, 0.5f));
    receiver.setUniform(U::ShadowMap, shadow.depthTexture);
    receiver.setUniform(U::Model, behind);
    receiver.setUniform(U::ShadowMapModelViewProjection, behind);
    material("Wall").apply(receiver);
    setUpQuad(receiver, Kind::StaticMesh);
    draw(Kind::StaticMesh);

    const auto brightness = [](const glm::vec3& colour) { return colour.r + colour.g + colour.b; };
    const float shaded = brightness(pixel(-0.5f, 0.0f)) + brightness(pixel(-0.3f, 0.3f));
    const float lit = brightness(pixel(0.5f, 0.0f)) + brightness(pixel(0.3f, 0.3f));
    EXPECT_LT(shaded, lit * 0.5f);
    EXPECT_GT(shaded, 0.1f);  // the ambient light still reaches it
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    glBindVertexArray(0);
}

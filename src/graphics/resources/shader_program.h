#pragma once
// Linked OpenGL programs of one vertex and one fragment shader, described in
// ".spd" files. Every vertex input and uniform the engine feeds is one entry of
// two fixed tables; a program looks its entries up once, on first use, and is
// addressed by table entry from then on.
#include <array>
#include <cstdint>
#include <functional>
#include <glm/fwd.hpp>
#include <glm/mat3x3.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>
#include <string>
#include <variant>

#include "utils/non_copyable.h"
#include "utils/resource_manager.h"
#include "utils/singleton.h"

class Texture;

// Vertex inputs; the value is the index into the table, the comment the GLSL
// name every program is asked for.
enum class VertexAttribute : uint32_t {
    Color = 0,             // "vIn_Color"
    ms_Position,           // "vIn_ms_Position"
    ms_Normal,             // "vIn_ms_Normal"
    ms_Tangent,            // "vIn_ms_Tangent"
    ms_Bitangent,          // "vIn_ms_Bitangent"
    ts_TexCoord,           // "vIn_ts_TexCoord"
    ss_CenterPosition,     // "vIn_ss_CenterPosition"
    ss_OrientationVector,  // "vIn_ss_OrientationVector"
    Size,                  // "vIn_Size"
    Rotation,              // "vIn_Rotation"
    Lifetime,              // "vIn_Lifetime"
    BoneIndex1,            // "vIn_BoneIndex1"
    BoneWeight1,           // "vIn_BoneWeight1"
    BoneIndex2,            // "vIn_BoneIndex2"
    BoneWeight2,           // "vIn_BoneWeight2"
};
constexpr uint32_t kVertexAttributeCount = 15;

// Uniforms, with the value type setUniform takes for each.
enum class Uniform : uint32_t {
    ModelViewProjection = 0,       // "u_ModelViewProjection", mat4
    ModelView,                     // "u_ModelView", mat4
    Model,                         // "u_Model", mat4
    View,                          // "u_View", mat4
    Projection,                    // "u_Projection", mat4
    NormalTransform,               // "u_NormalTransform", mat3 (quiet)
    ShadowMapModelViewProjection,  // "u_ShadowMapModelViewProjection", mat4
    ShadingFactor,                 // "u_ShadingFactor", float
    AmbientCoefficient,            // "u_AmbientCoefficient", vec3
    DiffuseCoefficient,            // "u_DiffuseCoefficient", vec3
    SpecularCoefficient,           // "u_SpecularCoefficient", vec3
    SpecularExponent,              // "u_SpecularExponent", float
    DiffuseAlphaMap,               // "u_DiffuseAlphaMap", sampler on unit 0
    NormalMap,                     // "u_NormalMap", sampler on unit 1
    NormalMapUsed,                 // "u_NormalMapUsed", int (quiet)
    SpecularMap,                   // "u_SpecularMap", sampler on unit 2
    SelectionSampler,              // "u_SelectionSampler", sampler on unit 0
    SelectionSamplerTiling,        // "u_SelectionSamplerTiling", float
    TerrainLayer0,                 // "u_TerrainLayer[0]", sampler on unit 1
    TerrainLayerTiling0,           // "u_TerrainLayerTiling[0]", float
    TerrainLayer1,                 // "u_TerrainLayer[1]", sampler on unit 2
    TerrainLayerTiling1,           // "u_TerrainLayerTiling[1]", float
    TerrainLayer2,                 // "u_TerrainLayer[2]", sampler on unit 3
    TerrainLayerTiling2,           // "u_TerrainLayerTiling[2]", float
    HdrMap,                        // "u_HdrMap", sampler on unit 3
    ShadowMap,                     // "u_ShadowMap", sampler on unit 4
    es_LightDirection,             // "u_es_LightDirection", vec3
    ms_BoneSkinPositionArray,      // "u_ms_BoneSkinPositionArray", vec3 array
    ms_BonePositionArray,          // "u_ms_BonePositionArray", vec3 array
    ms_BoneOrientationArray,       // "u_ms_BoneOrientationArray", vec4 (quaternion x, y, z, w) array (quiet)
    ParticleSpace,                 // "u_ParticleSpace", int (quiet)
    ParticleOrientation,           // "u_ParticleOrientation", int (quiet)
};
constexpr uint32_t kUniformCount = 32;

enum class UniformType : uint8_t { Mat4, Mat3, Float, Vec3, Int, Sampler, Vec3Array, Vec4Array };

struct UniformInfo {
    const char* name;
    UniformType type;
    int32_t textureUnit;  // samplers only, else -1
    bool quiet;           // a program without it skips it without a record
};

const char* vertexAttributeName(VertexAttribute attribute);
const UniformInfo& uniformInfo(Uniform uniform);

class ShaderProgram : private NonCopyable {
  public:
    // Takes ownership of a linked program name.
    explicit ShaderProgram(uint32_t id) : programId(id) {}
    ~ShaderProgram();

    // What glUseProgram takes; this class never makes a program current.
    uint32_t id() const { return programId; }

    // The location of attribute, or -1 after the record "Attribute does not
    // exist in shader [name]!".
    int32_t getAttributeLocation(VertexAttribute attribute);
    // Whether the shaders really use uniform (no record either way).
    bool hasUniform(Uniform uniform);

    // Setting a uniform: the program must be current. A uniform the program
    // lacks gives "Unrecognized uniform variable [name]!" on every call,
    // except the quiet ones, which are skipped silently. Values equal to the
    // last one set on this program make no OpenGL call; samplers always bind
    // their texture, because their units are shared between uniforms (and
    // programs) and the unit may hold another texture by now. A value of a
    // type the uniform does not take is rejected with an error record.
    void setUniform(Uniform uniform, const glm::mat4& value);
    void setUniform(Uniform uniform, const glm::mat3& value);
    void setUniform(Uniform uniform, float value);
    void setUniform(Uniform uniform, const glm::vec3& value);
    // Integers; for a sampler the value is the OpenGL texture name to bind.
    void setUniform(Uniform uniform, int32_t value);
    void setUniform(Uniform uniform, uint32_t value);
    void setUniform(Uniform uniform, const Texture& texture);
    // Array forms (the bone arrays): count elements from values. One element
    // goes through the redundancy check, more are always sent.
    void setUniform(Uniform uniform, const glm::vec3* values, int32_t count);
    void setUniform(Uniform uniform, const glm::vec4* values, int32_t count);
    void setUniform(Uniform uniform, const glm::quat* values, int32_t count);

  private:
    using Value = std::variant<std::monostate, glm::mat4, glm::mat3, float, glm::vec3, glm::vec4, int32_t>;
    struct UniformEntry {
        int32_t location = -1;
        Value last;
    };

    void initialize();
    // Looks the entry up and checks presence and type; nullptr when the call
    // must stop here (after the record the case calls for).
    UniformEntry* prepare(Uniform uniform, UniformType given);
    // True when value equals the last value set (no call needed); otherwise
    // stores it.
    bool unchanged(Uniform uniform, UniformEntry& entry, const Value& value);
    void bindSampler(Uniform uniform, const UniformEntry& entry, uint32_t texture);
    void setArray(Uniform uniform, UniformType type, const float* values, int32_t count, int32_t components);

    uint32_t programId;
    bool initialized = false;
    std::array<int32_t, kVertexAttributeCount> attributeLocations{};
    std::array<UniformEntry, kUniformCount> uniforms{};
};

// One program of a ".spd" file: source file names relative to that file.
struct ShaderProgramDefinition {
    std::string name;
    std::string vertexFile;
    std::string fragmentFile;
};

// Parses ".spd" text and calls onDefinition after each complete definition.
// The name and both files carry over from one definition to the next, so an
// omitted entry reuses the previous definition's file. Parsing stops silently
// at the first text that is not a complete definition.
void parseShaderProgramDefinitions(const std::string& text, const std::string& sourceName,
                                   const std::function<void(const ShaderProgramDefinition&)>& onDefinition);

class ShaderProgramManager : public ResourceManager<ShaderProgram>, public Singleton<ShaderProgramManager> {
  public:
    // Builds every program defined in the file, each under its program name.
    // Needs the context current.
    void load(const std::string& path) override;

    // Compiles and links one program from directory + its two files and
    // registers it. A missing source file or a name already taken is
    // reported and nothing is registered; compile and link problems are
    // logged and the program is registered anyway.
    void build(const ShaderProgramDefinition& definition, const std::string& directory);

  protected:
    std::string typeName() const override { return "ShaderProgram"; }
};

#include "graphics/resources/shader_program.h"

#include <GL/glew.h>

#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <memory>
#include <tao/pegtl.hpp>

#include "graphics/resources/texture.h"
#include "io/file_system.h"
#include "io/grammar.h"
#include "utils/log.h"

namespace pegtl = tao::pegtl;

static_assert(static_cast<uint32_t>(VertexAttribute::BoneWeight2) + 1 == kVertexAttributeCount);
static_assert(static_cast<uint32_t>(Uniform::ParticleOrientation) + 1 == kUniformCount);

namespace {
const char* const kVertexAttributeNames[kVertexAttributeCount] = {
    "vIn_Color",        "vIn_ms_Position", "vIn_ms_Normal",         "vIn_ms_Tangent",
    "vIn_ms_Bitangent", "vIn_ts_TexCoord", "vIn_ss_CenterPosition", "vIn_ss_OrientationVector",
    "vIn_Size",         "vIn_Rotation",    "vIn_Lifetime",          "vIn_BoneIndex1",
    "vIn_BoneWeight1",  "vIn_BoneIndex2",  "vIn_BoneWeight2",
};

const UniformInfo kUniforms[kUniformCount] = {
    {"u_ModelViewProjection", UniformType::Mat4, -1, false},
    {"u_ModelView", UniformType::Mat4, -1, false},
    {"u_Model", UniformType::Mat4, -1, false},
    {"u_View", UniformType::Mat4, -1, false},
    {"u_Projection", UniformType::Mat4, -1, false},
    {"u_NormalTransform", UniformType::Mat3, -1, true},
    {"u_ShadowMapModelViewProjection", UniformType::Mat4, -1, false},
    {"u_ShadingFactor", UniformType::Float, -1, false},
    {"u_AmbientCoefficient", UniformType::Vec3, -1, false},
    {"u_DiffuseCoefficient", UniformType::Vec3, -1, false},
    {"u_SpecularCoefficient", UniformType::Vec3, -1, false},
    {"u_SpecularExponent", UniformType::Float, -1, false},
    {"u_DiffuseAlphaMap", UniformType::Sampler, 0, false},
    {"u_NormalMap", UniformType::Sampler, 1, false},
    {"u_NormalMapUsed", UniformType::Int, -1, true},
    {"u_SpecularMap", UniformType::Sampler, 2, false},
    {"u_SelectionSampler", UniformType::Sampler, 0, false},
    {"u_SelectionSamplerTiling", UniformType::Float, -1, false},
    {"u_TerrainLayer[0]", UniformType::Sampler, 1, false},
    {"u_TerrainLayerTiling[0]", UniformType::Float, -1, false},
    {"u_TerrainLayer[1]", UniformType::Sampler, 2, false},
    {"u_TerrainLayerTiling[1]", UniformType::Float, -1, false},
    {"u_TerrainLayer[2]", UniformType::Sampler, 3, false},
    {"u_TerrainLayerTiling[2]", UniformType::Float, -1, false},
    {"u_HdrMap", UniformType::Sampler, 3, false},
    {"u_ShadowMap", UniformType::Sampler, 4, false},
    {"u_es_LightDirection", UniformType::Vec3, -1, false},
    {"u_ms_BoneSkinPositionArray", UniformType::Vec3Array, -1, false},
    {"u_ms_BonePositionArray", UniformType::Vec3Array, -1, false},
    {"u_ms_BoneOrientationArray", UniformType::Vec4Array, -1, true},
    {"u_ParticleSpace", UniformType::Int, -1, true},
    {"u_ParticleOrientation", UniformType::Int, -1, true},
};

const char* typeName(UniformType type) {
    switch (type) {
        case UniformType::Mat4:
            return "4x4 matrix";
        case UniformType::Mat3:
            return "3x3 matrix";
        case UniformType::Float:
            return "float";
        case UniformType::Vec3:
            return "3-vector";
        case UniformType::Int:
            return "integer";
        case UniformType::Sampler:
            return "texture";
        case UniformType::Vec3Array:
            return "3-vector array";
        case UniformType::Vec4Array:
            return "4-vector array";
    }
    return "value";
}

// Every program gets the same attribute locations, the position at 0: in a
// compatibility context attribute 0 is the one that provokes a vertex, and it
// is enabled by every renderable. The colour's location is shared too, so its
// constant value (for meshes, which leave it disabled) is set once for all.
GLuint boundLocation(uint32_t index) {
    const auto attribute = static_cast<VertexAttribute>(index);
    if (attribute == VertexAttribute::ms_Position) {
        return 0;
    }
    if (attribute == VertexAttribute::Color) {
        return 1;
    }
    return index;
}

// The info log of a shader or program, at most 512 characters.
template <typename GetLog>
std::string infoLog(GLuint object, GetLog getLog) {
    char buffer[512];
    GLsizei length = 0;
    getLog(object, sizeof(buffer), &length, buffer);
    return std::string(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

GLuint compileShader(GLenum stage, const std::string& source) {
    const GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    const std::string log = infoLog(shader, glGetShaderInfoLog);
    if (!log.empty()) {
        LOG(error) << log;
    }
    return shader;
}

// --- ".spd" grammar -------------------------------------------------------
namespace grammar {
using namespace tao::pegtl;

using grammar_common::space;
using grammar_common::comment;
struct ws : grammar_common::gap {};
struct name : plus<ranges<'a', 'z', 'A', 'Z', '0', '9'>> {};
struct path : star<not_one<'>'>> {};
struct value : seq<one<'<'>, path, one<'>'>> {};
struct vertexPath : value {};
struct fragmentPath : value {};
struct vertexEntry : seq<TAO_PEGTL_STRING("vertexShader"), ws, one<'='>, ws, vertexPath, ws> {};
struct fragmentEntry : seq<TAO_PEGTL_STRING("fragmentShader"), ws, one<'='>, ws, fragmentPath, ws> {};
struct entries : star<ws, sor<vertexEntry, fragmentEntry>, ws> {};
struct definition : seq<TAO_PEGTL_STRING("shaderProgram"), ws, name, ws, one<'{'>, entries, ws, one<'}'>> {};
struct file : star<ws, definition, ws> {};
}  // namespace grammar

struct DefinitionState {
    ShaderProgramDefinition current;  // carried over between definitions
    std::string pendingPath;
    const std::function<void(const ShaderProgramDefinition&)>* onDefinition;
};

template <typename Rule>
struct definitionAction : pegtl::nothing<Rule> {};

template <>
struct definitionAction<grammar::name> {
    template <typename Input>
    static void apply(const Input& in, DefinitionState& state) {
        state.current.name = in.string();
    }
};

template <>
struct definitionAction<grammar::path> {
    template <typename Input>
    static void apply(const Input& in, DefinitionState& state) {
        state.pendingPath = in.string();
    }
};

template <>
struct definitionAction<grammar::vertexEntry> {
    template <typename Input>
    static void apply(const Input&, DefinitionState& state) {
        state.current.vertexFile = state.pendingPath;
    }
};

template <>
struct definitionAction<grammar::fragmentEntry> {
    template <typename Input>
    static void apply(const Input&, DefinitionState& state) {
        state.current.fragmentFile = state.pendingPath;
    }
};

template <>
struct definitionAction<grammar::definition> {
    template <typename Input>
    static void apply(const Input&, DefinitionState& state) {
        (*state.onDefinition)(state.current);
    }
};
}  // namespace

const char* vertexAttributeName(VertexAttribute attribute) {
    return kVertexAttributeNames[static_cast<uint32_t>(attribute)];
}

const UniformInfo& uniformInfo(Uniform uniform) {
    return kUniforms[static_cast<uint32_t>(uniform)];
}

// --- ShaderProgram -------------------------------------------------------

ShaderProgram::~ShaderProgram() {
    if (programId != 0 && glDeleteProgram != nullptr) {
        glDeleteProgram(programId);
    }
}

void ShaderProgram::initialize() {
    LOG(trace) << "--------------------";
    LOG(trace) << "Initializing shader program " << programId << "...";
    LOG(trace) << "Vertex attributes: ";
    for (uint32_t i = 0; i < kVertexAttributeCount; ++i) {
        attributeLocations[i] = glGetAttribLocation(programId, kVertexAttributeNames[i]);
        if (attributeLocations[i] != -1) {
            LOG(trace) << "    " << kVertexAttributeNames[i];
        }
    }
    LOG(trace) << "Uniform variables: ";
    for (uint32_t i = 0; i < kUniformCount; ++i) {
        uniforms[i] = UniformEntry{glGetUniformLocation(programId, kUniforms[i].name), {}};
        if (uniforms[i].location != -1) {
            LOG(trace) << "    " << kUniforms[i].name;
        }
    }
    LOG(trace) << "Initialized shader program " << programId << "!";
    LOG(trace) << "--------------------";
    initialized = true;
}

int32_t ShaderProgram::getAttributeLocation(VertexAttribute attribute) {
    if (!initialized) {
        initialize();
    }
    const int32_t location = attributeLocations[static_cast<uint32_t>(attribute)];
    if (location == -1) {
        LOG(error) << "Attribute does not exist in shader [" << vertexAttributeName(attribute) << "]!";
    }
    return location;
}

bool ShaderProgram::hasUniform(Uniform uniform) {
    if (!initialized) {
        initialize();
    }
    return uniforms[static_cast<uint32_t>(uniform)].location != -1;
}

ShaderProgram::UniformEntry* ShaderProgram::prepare(Uniform uniform, UniformType given) {
    if (!initialized) {
        initialize();
    }
    const UniformInfo& info = uniformInfo(uniform);
    if (info.type != given) {
        LOG(error) << "Uniform variable [" << info.name << "] takes a " << typeName(info.type) << ", not a "
                   << typeName(given) << "!";
        return nullptr;
    }
    UniformEntry& entry = uniforms[static_cast<uint32_t>(uniform)];
    if (entry.location == -1) {
        if (!info.quiet) {
            LOG(error) << "Unrecognized uniform variable [" << info.name << "]!";
        }
        return nullptr;
    }
    return &entry;
}

bool ShaderProgram::unchanged(Uniform uniform, UniformEntry& entry, const Value& value) {
    if (!std::holds_alternative<std::monostate>(entry.last)) {
        if (entry.last.index() != value.index()) {
            LOG(debug) << "Incosistent data type for uniform [" << uniformInfo(uniform).name << "]!";
        } else if (entry.last == value) {
            return true;
        }
    }
    entry.last = value;
    return false;
}

void ShaderProgram::bindSampler(Uniform uniform, const UniformEntry& entry, uint32_t texture) {
    const int32_t unit = uniformInfo(uniform).textureUnit;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, texture);
    glUniform1i(entry.location, unit);
}

void ShaderProgram::setUniform(Uniform uniform, const glm::mat4& value) {
    UniformEntry* entry = prepare(uniform, UniformType::Mat4);
    if (entry != nullptr && !unchanged(uniform, *entry, value)) {
        glUniformMatrix4fv(entry->location, 1, GL_FALSE, glm::value_ptr(value));
    }
}

void ShaderProgram::setUniform(Uniform uniform, const glm::mat3& value) {
    UniformEntry* entry = prepare(uniform, UniformType::Mat3);
    if (entry != nullptr && !unchanged(uniform, *entry, value)) {
        glUniformMatrix3fv(entry->location, 1, GL_FALSE, glm::value_ptr(value));
    }
}

void ShaderProgram::setUniform(Uniform uniform, float value) {
    UniformEntry* entry = prepare(uniform, UniformType::Float);
    if (entry != nullptr && !unchanged(uniform, *entry, value)) {
        glUniform1f(entry->location, value);
    }
}

void ShaderProgram::setUniform(Uniform uniform, const glm::vec3& value) {
    UniformEntry* entry = prepare(uniform, UniformType::Vec3);
    if (entry != nullptr && !unchanged(uniform, *entry, value)) {
        glUniform3f(entry->location, value.x, value.y, value.z);
    }
}

void ShaderProgram::setUniform(Uniform uniform, int32_t value) {
    const bool sampler = uniformInfo(uniform).type == UniformType::Sampler;
    UniformEntry* entry = prepare(uniform, sampler ? UniformType::Sampler : UniformType::Int);
    if (entry == nullptr) {
        return;
    }
    if (sampler) {
        bindSampler(uniform, *entry, static_cast<uint32_t>(value));
    } else if (!unchanged(uniform, *entry, value)) {
        glUniform1i(entry->location, value);
    }
}

void ShaderProgram::setUniform(Uniform uniform, uint32_t value) {
    setUniform(uniform, static_cast<int32_t>(value));
}

void ShaderProgram::setUniform(Uniform uniform, const Texture& texture) {
    UniformEntry* entry = prepare(uniform, UniformType::Sampler);
    if (entry != nullptr) {
        bindSampler(uniform, *entry, texture.id());
    }
}

void ShaderProgram::setArray(Uniform uniform, UniformType type, const float* values, int32_t count,
                             int32_t components) {
    if (values == nullptr || count <= 0) {
        if (count < 0 || (values == nullptr && count > 0)) {
            LOG(error) << "Invalid array for uniform variable [" << uniformInfo(uniform).name << "]!";
        }
        return;
    }
    UniformEntry* entry = prepare(uniform, type);
    if (entry == nullptr) {
        return;
    }
    if (count == 1) {
        const Value single = components == 3 ? Value(glm::vec3(values[0], values[1], values[2]))
                                             : Value(glm::vec4(values[0], values[1], values[2], values[3]));
        if (unchanged(uniform, *entry, single)) {
            return;
        }
    } else {
        entry->last = std::monostate{};
    }
    if (components == 3) {
        glUniform3fv(entry->location, count, values);
    } else {
        glUniform4fv(entry->location, count, values);
    }
}

void ShaderProgram::setUniform(Uniform uniform, const glm::vec3* values, int32_t count) {
    setArray(uniform, UniformType::Vec3Array, values != nullptr ? glm::value_ptr(values[0]) : nullptr, count,
             3);
}

void ShaderProgram::setUniform(Uniform uniform, const glm::vec4* values, int32_t count) {
    setArray(uniform, UniformType::Vec4Array, values != nullptr ? glm::value_ptr(values[0]) : nullptr, count,
             4);
}

void ShaderProgram::setUniform(Uniform uniform, const glm::quat* values, int32_t count) {
    static_assert(sizeof(glm::quat) == 4 * sizeof(float), "quaternions are sent as packed x, y, z, w");
    // glm keeps quaternions as x, y, z, w, which is the order the shaders read.
    setArray(uniform, UniformType::Vec4Array, values != nullptr ? &values[0].x : nullptr, count, 4);
}

// --- Definition files -------------------------------------------------------

void parseShaderProgramDefinitions(const std::string& text, const std::string& sourceName,
                                   const std::function<void(const ShaderProgramDefinition&)>& onDefinition) {
    DefinitionState state{{}, {}, &onDefinition};
    pegtl::memory_input<> input(text, sourceName);
    pegtl::parse<grammar::file, definitionAction>(input, state);
}

void ShaderProgramManager::load(const std::string& path) {
    FileReader reader(path);
    std::string text;
    reader.readAll(text);
    const std::string directory = FileSystem::directoryOf(path);
    try {
        parseShaderProgramDefinitions(
            text, path, [&](const ShaderProgramDefinition& definition) { build(definition, directory); });
    } catch (const pegtl::parse_error&) {
        LOG(error) << "Malformed shader definiton file: \"" << path << "\"!";
    }
}

void ShaderProgramManager::build(const ShaderProgramDefinition& definition, const std::string& directory) {
    if (contains(definition.name)) {
        LOG(error) << "Shader program defined twice, the first definition stays: [" << definition.name
                   << "]!";
        return;
    }
    const std::string vertexPath = directory + definition.vertexFile;
    const std::string fragmentPath = directory + definition.fragmentFile;
    // A missing source file leaves the program unbuilt; the rest of the file
    // and the other files still load.
    const auto readSource = [&definition](const std::string& sourcePath, std::string& source) {
        if (!FileSystem::fileExists(sourcePath)) {
            LOG(error) << "Shader source file does not exist: \"" << sourcePath << "\"! Shader program ["
                       << definition.name << "] is not built!";
            return false;
        }
        FileReader(sourcePath).readAll(source);
        return true;
    };
    std::string vertexSource;
    std::string fragmentSource;
    if (!readSource(vertexPath, vertexSource) || !readSource(fragmentPath, fragmentSource)) {
        return;
    }

    LOG(debug) << "Compiling vertex shader: <" << vertexPath << "> ...";
    const GLuint vertexShader = compileShader(GL_VERTEX_SHADER, vertexSource);
    LOG(debug) << "Compiling fragment shader: <" << fragmentPath << "> ...";
    const GLuint fragmentShader = compileShader(GL_FRAGMENT_SHADER, fragmentSource);

    const GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    for (uint32_t i = 0; i < kVertexAttributeCount; ++i) {
        glBindAttribLocation(program, boundLocation(i), kVertexAttributeNames[i]);
    }
    glLinkProgram(program);
    const std::string log = infoLog(program, glGetProgramInfoLog);
    if (!log.empty()) {
        LOG(error) << log;
    }
    glDetachShader(program, vertexShader);
    glDetachShader(program, fragmentShader);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);

    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked == GL_TRUE) {
        // A sampler left at its default unit 0 would share the unit with
        // "u_DiffuseAlphaMap" whatever its type (a shadow sampler there makes
        // draws fail), so each starts on its own unit. The previous program is
        // made current again afterwards.
        GLint previous = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
        glUseProgram(program);
        for (const UniformInfo& info : kUniforms) {
            const GLint location = glGetUniformLocation(program, info.name);
            if (info.type == UniformType::Sampler && location != -1) {
                glUniform1i(location, info.textureUnit);
            }
        }
        // A program deleted while current is gone once another is made
        // current: then nothing is restored.
        glUseProgram(glIsProgram(static_cast<GLuint>(previous)) ? static_cast<GLuint>(previous) : 0);
    }
    // Meshes leave the colour input disabled and read its constant value.
    glVertexAttrib4f(boundLocation(static_cast<uint32_t>(VertexAttribute::Color)), 1.0f, 1.0f, 1.0f, 1.0f);

    add(definition.name, std::make_unique<ShaderProgram>(program));
}

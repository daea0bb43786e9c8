#include "graphics/resources/mesh.h"

#include <GL/glew.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <tao/pegtl.hpp>

#include "graphics/resources/mesh_definition.h"
#include "graphics/resources/mesh_file.h"
#include "graphics/resources/skeletal_mesh.h"
#include "graphics/resources/static_mesh.h"
#include "io/grammar.h"
#include "utils/log.h"

namespace pegtl = tao::pegtl;

Mesh::~Mesh() {
    if (vertexBuffer != 0) {
        glDeleteBuffers(1, &vertexBuffer);
    }
    if (indexBuffer != 0) {
        glDeleteBuffers(1, &indexBuffer);
    }
}

void Mesh::createBuffers(const void* vertices, std::size_t vertexBytes) {
    glGenBuffers(1, &vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexBytes), vertices, GL_STATIC_DRAW);

    glGenBuffers(1, &indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(triangles.size() * sizeof(Triangle)),
                 triangles.data(), GL_STATIC_DRAW);
}

namespace mesh_file {

bool readFile(const std::string& path, std::vector<unsigned char>& bytes) {
    bytes.clear();
    std::ifstream stream;
    if (FileSystem::isRegularFile(path)) {
        stream.open(path, std::ios::in | std::ios::binary);
    }
    if (!stream.is_open()) {
        LOG(error) << "Could not read from [" << path << "]!";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    if (stream.bad()) {
        LOG(error) << "Could not read from [" << path << "]!";
        return false;
    }
    return true;
}

glm::vec3 orthogonalTangent(const glm::vec3& normal, const glm::vec3& tangent, const glm::vec3& bitangent) {
    const auto unit = [](const glm::vec3& v, glm::vec3& out) {
        const double length = std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                                        static_cast<double>(v.z) * v.z);
        if (!(length > 1e-12) || !std::isfinite(length)) {
            return false;
        }
        out = glm::vec3(static_cast<float>(v.x / length), static_cast<float>(v.y / length),
                        static_cast<float>(v.z / length));
        return true;
    };
    glm::vec3 result;
    if (unit(tangent - normal * glm::dot(normal, tangent), result)) {
        return result;
    }
    // Nothing of the tangent is across the normal: any direction in the
    // surface's plane keeps the lighting finite.
    if (unit(glm::cross(bitangent, normal), result)) {
        return result;
    }
    const glm::vec3 axis = std::abs(normal.x) < 0.9f ? glm::vec3(1, 0, 0) : glm::vec3(0, 1, 0);
    if (unit(axis - normal * glm::dot(normal, axis), result)) {
        return result;
    }
    return glm::vec3(1, 0, 0);
}

void reportTruncated(const std::string& path, const char* what) {
    LOG(error) << "Mesh file ends inside its " << what << ": [" << path << "]!";
}

bool readTriangles(BinaryReader& in, std::uint32_t vertexCount, const std::string& path,
                   std::vector<Triangle>& triangles) {
    std::uint32_t count = 0;
    if (!in.readU32(count)) {
        reportTruncated(path, "triangle count");
        return false;
    }
    LOG(debug) << count << " triangles";
    if (in.remaining() / sizeof(Triangle) < count) {
        reportTruncated(path, "triangles");
        return false;
    }
    triangles.resize(count);
    for (std::uint32_t t = 0; t < count; ++t) {
        for (std::uint32_t& index : triangles[t].indices) {
            in.readU32(index);
            if (index >= vertexCount) {
                LOG(error) << "Triangle " << t << " names vertex " << index << " of " << vertexCount
                           << " in [" << path << "]!";
                return false;
            }
        }
    }
    return true;
}

}  // namespace mesh_file

namespace {
namespace grammar {
using namespace tao::pegtl;

using grammar_common::space;
using grammar_common::comment;
struct ws : grammar_common::gap {};
struct static_header : seq<TAO_PEGTL_STRING("static"), ws, one<':'>> {};
struct skeletal_header : seq<TAO_PEGTL_STRING("skeletal"), ws, one<':'>> {};
struct name : plus<alnum> {};
struct file_name : star<not_one<'>'>> {};
struct entry : seq<name, ws, one<'='>, ws, one<'<'>, file_name, one<'>'>> {};
struct item : sor<static_header, skeletal_header, entry> {};
// Every item consumes at least one character, so the repetition always ends;
// whatever is left then must be the end of the file.
struct file : seq<ws, star<item, ws>, must<eof>> {};
}  // namespace grammar

struct ParseState {
    MeshDefinition current;
    const std::function<void(const MeshDefinition&)>& onEntry;
};

template <typename Rule>
struct action : pegtl::nothing<Rule> {};

template <>
struct action<grammar::static_header> {
    template <typename Input>
    static void apply(const Input&, ParseState& state) {
        state.current.type = MeshFileType::Static;
    }
};

template <>
struct action<grammar::skeletal_header> {
    template <typename Input>
    static void apply(const Input&, ParseState& state) {
        state.current.type = MeshFileType::Skeletal;
    }
};

template <>
struct action<grammar::name> {
    template <typename Input>
    static void apply(const Input& in, ParseState& state) {
        state.current.name = in.string();
    }
};

template <>
struct action<grammar::file_name> {
    template <typename Input>
    static void apply(const Input& in, ParseState& state) {
        state.current.fileName = in.string();
    }
};

template <>
struct action<grammar::entry> {
    template <typename Input>
    static void apply(const Input&, ParseState& state) {
        state.onEntry(state.current);
    }
};

}  // namespace

bool parseMeshDefinitions(const std::string& text, const std::string& sourceName,
                          const std::function<void(const MeshDefinition&)>& onEntry) {
    ParseState state{MeshDefinition(), onEntry};
    try {
        pegtl::memory_input<> input(text, sourceName);
        pegtl::parse<grammar::file, action>(input, state);
    } catch (const pegtl::parse_error&) {
        LOG(error) << "Malformed mesh definiton file: \"" << sourceName << "\"!";
        return false;
    }
    return true;
}

void MeshManager::load(const std::string& path) {
    if (!FileSystem::exists(path)) {
        LOG(error) << "File does not exist: \"" << path << "\"!";
    }
    FileReader reader(path);  // raises FileNotFoundError for a missing file
    std::string text;
    reader.readAll(text);
    const std::string directory = FileSystem::directoryOf(path);

    parseMeshDefinitions(text, path, [&](const MeshDefinition& definition) {
        if (definition.type == MeshFileType::Unset) {
            LOG(error) << "Unrecognized mesh file type!";
            return;
        }
        // The first mesh under a name stays; a later entry is not even read.
        if (contains(definition.name)) {
            LOG(error) << "Mesh name already in use, entry skipped: \"" << definition.name << "\"!";
            return;
        }
        const std::string file = directory + definition.fileName;
        std::unique_ptr<Mesh> mesh;
        if (definition.type == MeshFileType::Static) {
            mesh = StaticMesh::load(file);
        } else {
            mesh = SkeletalMesh::load(file);
        }
        if (mesh) {
            add(definition.name, std::move(mesh));
        }
    });
}

StaticMesh* MeshManager::getStatic(const std::string& name) const {
    Mesh* mesh = get(name);
    if (mesh == nullptr) {
        return nullptr;
    }
    auto* result = dynamic_cast<StaticMesh*>(mesh);
    if (result == nullptr) {
        LOG(error) << "Mesh is not a static mesh: \"" << name << "\"!";
    }
    return result;
}

SkeletalMesh* MeshManager::getSkeletal(const std::string& name) const {
    Mesh* mesh = get(name);
    if (mesh == nullptr) {
        return nullptr;
    }
    auto* result = dynamic_cast<SkeletalMesh*>(mesh);
    if (result == nullptr) {
        LOG(error) << "Mesh is not a skeletal mesh: \"" << name << "\"!";
    }
    return result;
}

#include "graphics/mesh_instance.h"

#include <GL/glew.h>

#include "graphics/resources/shader_program.h"
#include "graphics/resources/skeletal_mesh.h"
#include "graphics/resources/skeleton.h"
#include "graphics/resources/static_mesh.h"
#include "graphics/vertex_attributes.h"

namespace {
constexpr int32_t kStaticStride = sizeof(StaticVertex);
constexpr int32_t kSkeletalStride = sizeof(SkeletalVertex);

// The attributes both kinds of mesh vertex share, at the same offsets.
// Returns the colour location.
int32_t describeSurface(ShaderProgram& program, int32_t stride) {
    using vertex_attributes::pointFloats;
    pointFloats(program, VertexAttribute::ms_Position, 3, stride, offsetof(StaticVertex, position));
    pointFloats(program, VertexAttribute::ms_Normal, 3, stride, offsetof(StaticVertex, normal));
    pointFloats(program, VertexAttribute::ts_TexCoord, 2, stride, offsetof(StaticVertex, texCoord));
    pointFloats(program, VertexAttribute::ms_Tangent, 3, stride, offsetof(StaticVertex, tangent));
    pointFloats(program, VertexAttribute::ms_Bitangent, 3, stride, offsetof(StaticVertex, bitangent));
    return vertex_attributes::disable(program, VertexAttribute::Color);
}
}  // namespace

void MeshInstance::rememberColorLocation(const ShaderProgram& program, int32_t location) {
    if (colorLocations.size() <= program.id()) {
        colorLocations.resize(program.id() + 1, -1);
    }
    colorLocations[program.id()] = location;
}

void MeshInstance::setConstantWhite(const ShaderProgram& program) const {
    if (program.id() < colorLocations.size() && colorLocations[program.id()] >= 0) {
        glVertexAttrib4f(static_cast<GLuint>(colorLocations[program.id()]), 1.0f, 1.0f, 1.0f, 1.0f);
    }
}

void MeshInstance::drawTriangles() const {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh->getIndexBuffer());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh->getIndexCount()), GL_UNSIGNED_INT, nullptr);
}

// --- Static meshes ----------------------------------------------------------

StaticMeshInstance::StaticMeshInstance(const StaticMesh& mesh) : MeshInstance(&mesh) {}

void StaticMeshInstance::setupVertexAttributes(ShaderProgram& program) {
    glBindBuffer(GL_ARRAY_BUFFER, mesh->getVertexBuffer());
    rememberColorLocation(program, describeSurface(program, kStaticStride));
}

void StaticMeshInstance::draw(ShaderProgram& program) {
    bindVertexArray(program);
    setConstantWhite(program);
    drawTriangles();
}

// --- Skeletal meshes --------------------------------------------------------

SkeletalMeshInstance::SkeletalMeshInstance(const SkeletalMesh& mesh)
    : MeshInstance(&mesh), pose(std::make_unique<SkeletonPose>(mesh.getSkeleton())) {}

SkeletalMeshInstance::~SkeletalMeshInstance() = default;

void SkeletalMeshInstance::setupVertexAttributes(ShaderProgram& program) {
    glBindBuffer(GL_ARRAY_BUFFER, mesh->getVertexBuffer());
    rememberColorLocation(program, describeSurface(program, kSkeletalStride));
    using vertex_attributes::pointFloats;
    using vertex_attributes::pointUnsigned;
    pointUnsigned(program, VertexAttribute::BoneIndex1, kSkeletalStride,
                  offsetof(SkeletalVertex, boneIndex1));
    pointFloats(program, VertexAttribute::BoneWeight1, 1, kSkeletalStride,
                offsetof(SkeletalVertex, boneWeight1));
    pointUnsigned(program, VertexAttribute::BoneIndex2, kSkeletalStride,
                  offsetof(SkeletalVertex, boneIndex2));
    pointFloats(program, VertexAttribute::BoneWeight2, 1, kSkeletalStride,
                offsetof(SkeletalVertex, boneWeight2));
}

void SkeletalMeshInstance::animate(const std::string& animationName, float time, double) {
    pose->update(animationName, time);
}

void SkeletalMeshInstance::draw(ShaderProgram& program) {
    bindVertexArray(program);
    setConstantWhite(program);
    const Skeleton& skeleton = pose->getSkeleton();
    const auto bones = static_cast<int32_t>(skeleton.getBoneCount());
    program.setUniform(Uniform::ms_BoneSkinPositionArray, skeleton.getSkinPositions().data(), bones);
    program.setUniform(Uniform::ms_BonePositionArray, pose->getPositions().data(), bones);
    program.setUniform(Uniform::ms_BoneOrientationArray, pose->getOrientations().data(), bones);
    drawTriangles();
}

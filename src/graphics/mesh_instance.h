#pragma once
// Instances of the registry's meshes that the render entries draw: a static
// mesh as it is, or a skinned mesh in a pose of its own. Construction makes
// no OpenGL call (the vertex arrays are made on first draw), so recipes can
// build them without a context.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/renderable.h"

class Mesh;
class StaticMesh;
class SkeletalMesh;
class SkeletonPose;

class MeshInstance : public Renderable {
  public:
    // The mesh drawn; owned by the MeshManager (which must outlive the
    // instance). nullptr for geometry built by the instance itself.
    const Mesh* getMesh() const { return mesh; }

  protected:
    explicit MeshInstance(const Mesh* mesh) : mesh(mesh) {}

    // Notes where program reads "vIn_Color" (-1: nowhere). Mesh instances
    // leave that input disabled, so it reads the current constant, which
    // is context state shared by every vertex array: draw sets it to white.
    void rememberColorLocation(const ShaderProgram& program, int32_t location);
    void setConstantWhite(const ShaderProgram& program) const;
    // Binds the mesh's index buffer and draws all its triangles.
    void drawTriangles() const;

    const Mesh* mesh;

  private:
    std::vector<int32_t> colorLocations;  // indexed by ShaderProgram::id(), like vertexArrays
};

class StaticMeshInstance : public MeshInstance {
  public:
    explicit StaticMeshInstance(const StaticMesh& mesh);

    // Position, normal, texture coordinate, tangent and bitangent from the
    // mesh's 56-byte vertices; "vIn_Color" disabled.
    void setupVertexAttributes(ShaderProgram& program) override;
    void draw(ShaderProgram& program) override;
};

class SkeletalMeshInstance : public MeshInstance {
  public:
    // Starts in the bind pose of the mesh's skeleton.
    explicit SkeletalMeshInstance(const SkeletalMesh& mesh);
    ~SkeletalMeshInstance() override;

    // As the static instance, plus the two bone indices (unsigned integers)
    // and weights of the 72-byte vertices.
    void setupVertexAttributes(ShaderProgram& program) override;
    // Poses the skeleton at time (0 to 1, the progress through the named
    // animation).
    void animate(const std::string& animationName, float time, double dt) override;
    // Sends the bind-pose and posed bone positions and the posed
    // orientations (program must be current), then draws the triangles.
    void draw(ShaderProgram& program) override;

    const SkeletonPose& getPose() const { return *pose; }

  private:
    std::unique_ptr<SkeletonPose> pose;
};

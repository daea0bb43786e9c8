#include "graphics/particles/particle_system_instance.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstddef>

#include "graphics/particles/particle_initializers.h"
#include "graphics/particles/particle_updaters.h"
#include "graphics/resources/shader_program.h"
#include "utils/random.h"

namespace {
// Life left below this is rounding, not life: a lifetime that is a whole
// number of frames (0.15 s at 60 frames a second) must end on its last frame
// rather than linger one more for a few ulps, or a stream outgrows its budget.
constexpr float kLifetimeResidue = 1e-6f;

constexpr GLsizei kStride = sizeof(ParticleVertex);

// The unit quad of every instance, made once and kept for the process.
GLuint sharedQuadBuffer() {
    static GLuint buffer = 0;
    if (buffer == 0) {
        glGenBuffers(1, &buffer);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof(kParticleQuadCorners), kParticleQuadCorners.data(),
                     GL_STATIC_DRAW);
    }
    return buffer;
}

const void* byteOffset(std::uint32_t offset) {
    return reinterpret_cast<const void*>(std::uintptr_t{offset});
}
}  // namespace

const std::array<ParticleInstanceAttribute, 6> kParticleInstanceAttributes = {{
    {VertexAttribute::ss_CenterPosition, 3, offsetof(ParticleVertex, position)},
    {VertexAttribute::Size, 1, offsetof(ParticleVertex, size)},
    {VertexAttribute::Rotation, 1, offsetof(ParticleVertex, rotation)},
    {VertexAttribute::Color, 4, offsetof(ParticleVertex, color)},
    {VertexAttribute::Lifetime, 1, offsetof(ParticleVertex, lifetime)},
    {VertexAttribute::ss_OrientationVector, 3, offsetof(ParticleVertex, velocity)},
}};

const std::array<float, 12> kParticleQuadCorners = {
    -0.5f, -0.5f, 0.0f,  //
    0.5f,  -0.5f, 0.0f,  //
    -0.5f, 0.5f,  0.0f,  //
    0.5f,  0.5f,  0.0f,
};

ParticleSystemInstance::ParticleSystemInstance(const ParticleSystem& system)
    : system_(&system),
      vertices_(system.maxParticles),
      origins_(system.maxParticles),
      freeList_(system.maxParticles) {
    emitters_.reserve(system.emitters.size());
    for (const auto& emitter : system.emitters) {
        emitters_.push_back(emitter->clone());
    }
}

ParticleSystemInstance::~ParticleSystemInstance() {
    if (vertexBuffer_ != 0) {
        glDeleteBuffers(1, &vertexBuffer_);
    }
}

bool ParticleSystemInstance::spawn(const Entity& entity, float lifetimeMin, float lifetimeMax) {
    if (freeList_.empty()) {
        return false;
    }
    const float lifetime = RandomGenerator::between(lifetimeMin, lifetimeMax);
    if (!(lifetime > 0.0f)) {
        return false;
    }
    const std::uint32_t particle = *freeList_.take();
    ParticleOrigin& origin = origins_[particle];
    origin.lifetime = lifetime;
    // A reused index starts from its starting values, not from where its
    // last life ended: whatever no initializer sets is as for a fresh one.
    ParticleVertex& vertex = vertices_[particle];
    vertex.position = glm::vec3(0.0f);
    vertex.size = origin.size;
    vertex.rotation = origin.rotation;
    vertex.color = origin.color;
    vertex.lifetime = lifetime;
    vertex.velocity = origin.velocity;
    for (const auto& initializer : system_->initializers) {
        initializer->initialize(*this, entity, particle);
    }
    return true;
}

void ParticleSystemInstance::simulate(const Entity& entity, float dt) {
    emitters_.erase(std::remove_if(emitters_.begin(), emitters_.end(),
                                   [&](const std::unique_ptr<ParticleEmitter>& emitter) {
                                       return !emitter->emit(*this, entity, dt);
                                   }),
                    emitters_.end());

    const auto& updaters = system_->updaters;
    const std::uint32_t count = maxParticles();
    for (std::uint32_t particle = 0; particle < count; ++particle) {
        ParticleVertex& vertex = vertices_[particle];
        if (vertex.lifetime <= 0.0f) {
            // Dead particles keep drifting; the shaders hide them.
            vertex.position += vertex.velocity * dt;
            continue;
        }
        vertex.lifetime -= dt;
        if (vertex.lifetime > kLifetimeResidue) {
            for (const auto& updater : updaters) {
                updater->update(*this, entity, particle, dt);
            }
            vertex.position += vertex.velocity * dt;
        } else {
            // Free at once, so the next frame's emitters can reuse it.
            vertex.lifetime = std::min(vertex.lifetime, 0.0f);
            freeList_.give(particle);
        }
    }
}

void ParticleSystemInstance::update(Entity entity, double dt) {
    simulate(entity, static_cast<float>(dt));
    upload();
}

void ParticleSystemInstance::createBuffers() {
    sharedQuadBuffer();
    if (vertexBuffer_ == 0) {
        glGenBuffers(1, &vertexBuffer_);
        glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(ParticleVertex)),
                     vertices_.data(), GL_STREAM_DRAW);
    }
}

void ParticleSystemInstance::upload() {
    if (vertexBuffer_ == 0) {
        createBuffers();  // made from the current records already
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(vertices_.size() * sizeof(ParticleVertex)),
                    vertices_.data());
}

void ParticleSystemInstance::setupVertexAttributes(ShaderProgram& program) {
    createBuffers();
    // An input the program lacks has been reported by the lookup; it is left
    // out rather than pointed at location -1.
    glBindBuffer(GL_ARRAY_BUFFER, sharedQuadBuffer());
    const GLint corner = program.getAttributeLocation(VertexAttribute::ms_Position);
    if (corner >= 0) {
        glEnableVertexAttribArray(static_cast<GLuint>(corner));
        glVertexAttribPointer(static_cast<GLuint>(corner), 3, GL_FLOAT, GL_FALSE, 0, byteOffset(0));
        glVertexAttribDivisor(static_cast<GLuint>(corner), 0);
    }
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    for (const ParticleInstanceAttribute& input : kParticleInstanceAttributes) {
        const GLint location = program.getAttributeLocation(input.attribute);
        if (location < 0) {
            continue;
        }
        glEnableVertexAttribArray(static_cast<GLuint>(location));
        glVertexAttribPointer(static_cast<GLuint>(location), input.components, GL_FLOAT, GL_FALSE, kStride,
                              byteOffset(input.offset));
        glVertexAttribDivisor(static_cast<GLuint>(location), 1);
    }
}

void ParticleSystemInstance::draw(ShaderProgram& program) {
    bindVertexArray(program);
    program.setUniform(Uniform::ParticleSpace, static_cast<std::int32_t>(system_->space));
    program.setUniform(Uniform::ParticleOrientation, static_cast<std::int32_t>(system_->orientation));
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(maxParticles()));
}

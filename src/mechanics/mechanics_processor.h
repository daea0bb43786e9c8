#pragma once
// Movement along paths, turning towards where an entity goes or casts, and
// collision detection. Third system of the frame: it reads the paths set by
// the orders of this and earlier frames and reports every pair of touching
// entities to the logic processor as a CollisionMessage.
#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>

#include "entities/entity.h"
#include "game/system.h"

class EntityManager;
class MessagePools;
class Game;
struct CollisionComponent;
struct TransformComponent;

class MechanicsProcessor : public System<MechanicsProcessor> {
  public:
    explicit MechanicsProcessor(Game* game);
    MechanicsProcessor(EntityManager& entities, MessagePools& messages);

    // Movement, facing, then collisions, each over its own view in entity
    // order. dt in seconds, already scaled by the time scale.
    void update(double dt) override;

    // The three phases on their own (update runs them in this order).
    void move(double dt);
    void face(double dt);
    void detectCollisions();

    // One turning step of at most 800 degrees per second from rotation towards
    // the horizontal direction from position to target (local +Z facing it,
    // +Y up). A target straight above or below, or a result that is not a
    // valid rotation, leaves the rotation as it is.
    static glm::quat turnTowards(const glm::vec3& position, const glm::quat& rotation,
                                 const glm::vec3& target, double dt);

    // Brings the entity's worldVolumes to its current transform. Volumes of
    // static entities are transformed once, in their first frame.
    static void updateWorldVolumes(const TransformComponent& transform, CollisionComponent& collision);

    // Degrees per second an entity turns at most.
    static constexpr float kTurnRate = 800.0f;

  private:
    EntityManager& entities;
    MessagePools& messages;
};

// True when the rotation's pitch, yaw and roll (degrees) all lie within
// [-360, 360]: this rejects quaternions holding NaN or infinite components.
bool isValidRotation(const glm::quat& rotation);

// Whether any world volume of first touches any world volume of second.
bool collide(const CollisionComponent& first, const CollisionComponent& second);
// The same for two entities; false when either has no CollisionComponent.
bool collide(EntityManager& entities, Entity::Id first, Entity::Id second);

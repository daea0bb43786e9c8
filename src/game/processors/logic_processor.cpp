#include "game/processors/logic_processor.h"

#include <cmath>
#include <glm/geometric.hpp>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"
#include "game/game.h"
#include "game/recipes.h"
#include "game/render_recipes.h"
#include "io/data_manager.h"
#include "mechanics/navigation_mesh.h"
#include "utils/log.h"
#include "utils/random.h"

namespace {
// Filled when a logic processor is built; shared by every instance.
std::array<float, kAnimationStateCount> animationLengths{};
std::array<std::int32_t, kAnimationStateCount> animationSuccessors{};

bool inTable(std::int32_t state) {
    return state >= 0 && state < kAnimationStateCount;
}

void loadAnimationTables() {
    struct LengthKey {
        AnimationState state;
        const char* key;
    };
    // The waveform states have no length key and stay at 0.
    static const LengthKey lengthKeys[] = {
        {Spawn, "animation.length.spawn"},
        {Idle, "animation.length.idle"},
        {Run, "animation.length.run"},
        {FireballWindup, "animation.length.windup.fireball"},
        {FireballBackswing, "animation.length.backswing.fireball"},
        {ChainLightningWindup, "animation.length.windup.chainLightning"},
        {ChainLightningBackswing, "animation.length.backswing.chainLightning"},
        {CrushingWaveWindup, "animation.length.windup.crushingWave"},
        {CrushingWaveBackswing, "animation.length.backswing.crushingWave"},
        {Dying, "animation.length.dying"},
        {Dead, "animation.length.dead"},
    };
    animationLengths.fill(0.0f);
    for (const LengthKey& entry : lengthKeys) {
        animationLengths[entry.state] = DataManager::getValue<float>(entry.key);
    }

    animationSuccessors.fill(LogicProcessor::kNoSuccessor);
    animationSuccessors[Spawn] = Idle;
    animationSuccessors[Idle] = Idle;
    animationSuccessors[Run] = Run;
    animationSuccessors[FireballWindup] = FireballBackswing;
    animationSuccessors[FireballBackswing] = Idle;
    animationSuccessors[ChainLightningWindup] = ChainLightningBackswing;
    animationSuccessors[ChainLightningBackswing] = Idle;
    animationSuccessors[CrushingWaveWindup] = CrushingWaveBackswing;
    animationSuccessors[CrushingWaveBackswing] = Idle;
    animationSuccessors[Dying] = Dead;
    animationSuccessors[Dead] = Dead;
}

const glm::quat kIdentity(1.0f, 0.0f, 0.0f, 0.0f);

Team otherTeam(Team team) {
    return team == Blue ? Red : Blue;
}

// A walker standing on the edge between two nodes of the navigation mesh can
// be located in the node behind it; the path then begins with a step back
// (up to a node's width) along the very line it walks on afterwards. Orders
// repeated while the button is held would keep it stepping back and forth on
// the spot. A first point the walker has reached already (the located start,
// a few tenths away), or one that lies behind it on the line of the next
// leg, is dropped: the walk goes on along the same line.
void dropStepsBack(const glm::vec3& position, std::list<glm::vec3>& waypoints) {
    constexpr float kStepBack = 3.0f;
    constexpr float kReached = 0.15f;
    constexpr float kSamePoint = 1e-4f;
    constexpr float kOpposite = -0.99f;
    while (waypoints.size() >= 2) {
        const glm::vec3 first = waypoints.front();
        // Paths may repeat a point; the direction comes from the next other one.
        auto next = std::next(waypoints.begin());
        while (next != waypoints.end() && glm::length(*next - first) <= kSamePoint) {
            ++next;
        }
        if (next == waypoints.end()) {
            break;
        }
        const glm::vec3 back = first - position;
        const float length = glm::length(back);
        const bool reached = length <= kReached;
        const bool behind =
            length <= kStepBack && glm::dot(back / length, glm::normalize(*next - first)) < kOpposite;
        if (!reached && !behind) {
            break;
        }
        waypoints.pop_front();
    }
}
}  // namespace

LogicProcessor::LogicProcessor(Game* game, CursorRay cursorRay)
    : game(game), cursorRay(std::move(cursorRay)) {
    loadAnimationTables();
}

void LogicProcessor::setCursorRay(CursorRay ray) {
    cursorRay = std::move(ray);
}

float LogicProcessor::animationLength(std::int32_t state) {
    return inTable(state) ? animationLengths[state] : 0.0f;
}

std::int32_t LogicProcessor::animationSuccessor(std::int32_t state) {
    return inTable(state) ? animationSuccessors[state] : kNoSuccessor;
}

SkillContext LogicProcessor::skillContext() const {
    return SkillContext{game->messages, game->level.navigationMesh.get(), &cursorRay};
}

void LogicProcessor::update(double dt) {
    const float step = static_cast<float>(dt);
    tickCooldowns(step);
    handleCollisions();
    handleDeaths();
    handleRespawns(step);
    handleLifetimes(step);
    handleMoveOrders();
    handleCastOrders();
    advanceAnimations(step);
    explodeArrivedFireballs();
    releaseCasts();
}

void LogicProcessor::tickCooldowns(float dt) {
    ComponentHandle<ActorSkillsComponent> skills;
    for (const Entity entity : game->entities.query(skills)) {
        static_cast<void>(entity);
        for (ActorSkillsComponent::Slot& slot : skills->slots) {
            // Clamped to exactly 0, which is what the cast orders test for.
            if (slot.remaining <= dt) {
                slot.remaining = 0.0f;
            } else {
                slot.remaining -= dt;
            }
        }
    }
}

void LogicProcessor::handleCollisions() {
    auto& collisions = game->messages.pool<CollisionMessage>();
    for (std::uint32_t k = 0; k < collisions.size(); ++k) {
        const Entity a = collisions[k].first;
        const Entity b = collisions[k].second;
        if (!a.valid() || !b.valid()) {
            continue;
        }
        // Only entities with a behaviour react, each from its own side.
        react(a, b);
        if (a.valid() && b.valid()) {
            react(b, a);
        }
    }
    collisions.clear();
}

void LogicProcessor::react(const Entity& self, const Entity& other) {
    EntityManager& entities = game->entities;
    const auto behaviour = entities.component<BehaviourComponent>(self.id());
    if (!behaviour) {
        return;
    }
    switch (behaviour->behaviour) {
        case FireballProjectile:
            fireballHit(self, other);
            break;
        case FireballExplosion:
            if (entities.has<HealthComponent>(other.id())) {
                explosionHit(game->messages, self, other);
            }
            break;
        case FlagBehaviour:
            if (entities.has<HealthComponent>(other.id())) {
                touchFlag(self, other);
            }
            break;
        default:
            // The crushing wave touches nothing.
            break;
    }
}

void LogicProcessor::touchFlag(const Entity& flag, const Entity& actor) {
    EntityManager& entities = game->entities;
    const auto flagState = entities.component<FlagComponent>(flag.id());
    const auto flagTeam = entities.component<TeamComponent>(flag.id());
    const auto actorTeam = entities.component<TeamComponent>(actor.id());
    if (!flagState || !flagTeam || !actorTeam) {
        return;
    }
    const std::uint8_t fs = flagState->state;
    const Team ft = static_cast<Team>(flagTeam->team);
    const Team at = static_cast<Team>(actorTeam->team);

    if ((fs == AtBase || fs == Dropped) && at != ft) {
        game->messages.emit<FlagTakenMessage>(at);
        entities.assign<FlagComponent>(actor.id(), FlagComponent{Carried});
        attachCarriedFlagRenderable(actor, ft);
        entities.destroy(flag.id());
    } else if (fs == Dropped) {
        game->messages.emit<FlagReclaimedMessage>(at);
        flagState->state = AtBase;
        const auto base = game->level.flagPositions.find(ft);
        if (base != game->level.flagPositions.end()) {
            entities.assign<TransformComponent>(flag.id(),
                                                TransformComponent{base->second, kIdentity, glm::vec3(1.0f)});
        }
    } else if (fs == AtBase && entities.has<FlagComponent>(actor.id())) {
        game->messages.emit<CapturedFlagMessage>(at);
        entities.remove<FlagComponent>(actor.id());
        detachCarriedFlagRenderable(actor);
        const Team captured = otherTeam(at);
        const auto base = game->level.flagPositions.find(captured);
        if (base != game->level.flagPositions.end()) {
            makeFlagAtBase(entities.create(), captured, base->second);
        }
        score(at);
    }
    // Anything else (an actor touching its own flag at base without carrying)
    // changes nothing.
}

void LogicProcessor::score(Team team) {
    const bool blue = team == Blue;
    std::uint8_t& own = blue ? game->blueScore : game->redScore;
    const std::uint8_t other = blue ? game->redScore : game->blueScore;
    // Saturates rather than wrapping round to 0 (and winning a second time).
    if (own < 255) {
        ++own;
    }
    const std::string name = blue ? "Blue" : "Red";
    game->messages.emit<NotificationMessage>(name + " team scored!");
    if (own == kWinningScore && other < kWinningScore) {
        game->messages.emit<NotificationMessage>(name + " team wins!");
    }
    LOG(info) << name << " team scored!";
    LOG(info) << "New score: Blue " << static_cast<unsigned>(game->blueScore) << " : "
              << static_cast<unsigned>(game->redScore) << " Red";
}

void LogicProcessor::handleDeaths() {
    EntityManager& entities = game->entities;
    ComponentHandle<HealthComponent> health;
    ComponentHandle<AnimationComponent> animation;
    for (const Entity entity : entities.query(health, animation)) {
        if (health->current > 0.0f || animation->state == Dying || animation->state == Dead) {
            continue;
        }
        *animation = AnimationComponent{Dying, 0.0f};
        entities.remove<HealthComponent>(entity.id());
        // Damage stopped it already; whatever else brought its health down,
        // a corpse must not walk on (the mechanics would switch it to Idle at
        // the end of its path).
        stopActor(entity);
        const auto team = entities.component<TeamComponent>(entity.id());
        if (entities.has<FlagComponent>(entity.id()) && team) {
            const Team carrierTeam = static_cast<Team>(team->team);
            dropFlag(entity, entities.create(), carrierTeam);
        }
        respawnQueue[entity] = kRespawnDelay;
    }
}

void LogicProcessor::handleRespawns(float dt) {
    std::vector<Entity> done;
    for (auto& [actor, left] : respawnQueue) {
        if (actor.valid() && game->entities.has<ControlSchemeComponent>(actor.id())) {
            const int whole = static_cast<int>(left);
            if (static_cast<int>(left - dt) < whole) {
                game->messages.emit<NotificationMessage>("Respawning in " + std::to_string(whole));
            }
        }
        left -= dt;
        if (left <= 0.0f) {
            done.push_back(actor);
        }
    }
    for (const Entity& actor : done) {
        respawnQueue.erase(actor);
        respawn(actor);
    }
}

void LogicProcessor::respawn(const Entity& actor) {
    EntityManager& entities = game->entities;
    if (!actor.valid()) {
        return;
    }
    const auto team = entities.component<TeamComponent>(actor.id());
    if (!team) {
        return;
    }
    const Team actorTeam = static_cast<Team>(team->team);
    const auto spawns = game->level.spawnPoints.find(actorTeam);
    if (spawns == game->level.spawnPoints.end() || spawns->second.empty()) {
        // Start-up refuses such a level; nothing to choose from here.
        LOG(error) << "No spawn point for team [" << static_cast<unsigned>(actorTeam) << "]!";
        return;
    }
    const std::vector<glm::vec3>& points = spawns->second;
    const float r = static_cast<float>(RandomGenerator::next());
    const auto count = static_cast<float>(points.size());
    auto index = static_cast<std::size_t>((r / static_cast<float>(RandomGenerator::kMax)) * (count - 0.01f));
    if (index >= points.size()) {
        index = points.size() - 1;
    }
    makeActor(actor, actorTeam, points[index]);
}

void LogicProcessor::handleLifetimes(float dt) {
    EntityManager& entities = game->entities;
    ComponentHandle<LifetimeComponent> lifetime;
    for (const Entity entity : entities.query(lifetime)) {
        lifetime->age += dt;
        if (lifetime->age < lifetime->lifetime) {
            continue;
        }
        const auto behaviour = entities.component<BehaviourComponent>(entity.id());
        if (behaviour && behaviour->behaviour == FireballProjectile) {
            // A fireball that flew its whole life explodes where it is, and
            // lingers a fresh second as a spent one.
            explodeFireball(entity);
        } else {
            entities.destroy(entity.id());
        }
    }
}

bool LogicProcessor::canAct(const Entity& actor) const {
    return actor.valid() && game->entities.has<HealthComponent>(actor.id());
}

void LogicProcessor::handleMoveOrders() {
    auto& cursorOrders = game->messages.pool<MoveToCursorOrderMessage>();
    for (std::uint32_t k = 0; k < cursorOrders.size(); ++k) {
        const MoveToCursorOrderMessage order = cursorOrders[k];
        if (!canAct(order.actor) || !cursorRay) {
            continue;
        }
        const PickRay ray = cursorRay(order.cursorX, order.cursorY);
        moveTo(order.actor, nullptr, &ray);
    }
    auto& locationOrders = game->messages.pool<MoveToLocationOrderMessage>();
    for (std::uint32_t k = 0; k < locationOrders.size(); ++k) {
        const MoveToLocationOrderMessage order = locationOrders[k];
        if (!canAct(order.actor)) {
            continue;
        }
        moveTo(order.actor, &order.location, nullptr);
    }
    cursorOrders.clear();
    locationOrders.clear();
}

void LogicProcessor::moveTo(const Entity& actor, const glm::vec3* location, const PickRay* ray) {
    EntityManager& entities = game->entities;
    const NavigationMesh* mesh = game->level.navigationMesh.get();
    const auto transform = entities.component<TransformComponent>(actor.id());
    if (mesh == nullptr || !transform) {
        return;
    }
    NavigationLocation start;
    NavigationLocation goal;
    if (!mesh->locate(transform->position, start)) {
        return;
    }
    const bool found = location != nullptr ? mesh->locate(*location, goal)
                                           : mesh->raycast(ray->origin, ray->direction, goal);
    if (!found || !(glm::length(goal.point - start.point) > kMinimumMoveDistance)) {
        return;
    }
    PathComponent path;
    // An unreachable goal leaves the path empty: the actor stops (and its
    // pending cast is cancelled all the same).
    mesh->findPath(start, goal, path.waypoints);
    dropStepsBack(transform->position, path.waypoints);
    stopActor(actor);
    entities.assign<PathComponent>(actor.id(), std::move(path));
}

void LogicProcessor::handleCastOrders() {
    EntityManager& entities = game->entities;
    const SkillContext context = skillContext();
    auto& cursorOrders = game->messages.pool<SkillCastToCursorOrderMessage>();
    for (std::uint32_t k = 0; k < cursorOrders.size(); ++k) {
        const SkillCastToCursorOrderMessage order = cursorOrders[k];
        if (!canAct(order.actor)) {
            continue;
        }
        const auto skills = entities.component<ActorSkillsComponent>(order.actor.id());
        if (!skills) {
            continue;
        }
        for (const ActorSkillsComponent::Slot& slot : skills->slots) {
            // Only a slot that is fully ready: orders are not kept for later.
            if (slot.skill == order.skill && slot.remaining == 0.0f) {
                beginCastAtCursor(context, order.actor, order.skill, order.cursorX, order.cursorY);
                break;
            }
        }
    }
    auto& locationOrders = game->messages.pool<SkillCastToLocationOrderMessage>();
    for (std::uint32_t k = 0; k < locationOrders.size(); ++k) {
        const SkillCastToLocationOrderMessage order = locationOrders[k];
        if (!canAct(order.actor) || !entities.has<ActorSkillsComponent>(order.actor.id())) {
            continue;
        }
        beginCastAtLocation(order.actor, order.skill, order.location);
    }
    cursorOrders.clear();
    locationOrders.clear();
}

void LogicProcessor::advanceAnimations(float dt) {
    ComponentHandle<AnimationComponent> animation;
    for (const Entity entity : game->entities.query(animation)) {
        float r = dt;
        while (r > 0.0f && inTable(animation->state)) {
            const std::int32_t state = animation->state;
            const float length = animationLengths[state];
            const float rest = (1.0f - animation->progress) * length;
            if (r > rest) {
                animation->progress = 1.0f;
                r -= rest;
                game->messages.emit<AnimationEndedMessage>(state, entity);
                animation->state = animationSuccessors[state];
                animation->progress = 0.0f;
                game->messages.emit<AnimationStartedMessage>(animation->state, entity);
                if (length <= 0.0f && animation->state == state) {
                    // A looping state without length would never use up r.
                    break;
                }
            } else {
                animation->progress += r / length;
                r = 0.0f;
            }
        }
    }
}

void LogicProcessor::explodeArrivedFireballs() {
    EntityManager& entities = game->entities;
    ComponentHandle<BehaviourComponent> behaviour;
    for (const Entity entity : entities.query(behaviour)) {
        if (behaviour->behaviour == FireballProjectile && !entities.has<PathComponent>(entity.id())) {
            explodeFireball(entity);
        }
    }
}

void LogicProcessor::releaseCasts() {
    const SkillContext context = skillContext();
    auto& ended = game->messages.pool<AnimationEndedMessage>();
    for (std::uint32_t k = 0; k < ended.size(); ++k) {
        const AnimationEndedMessage message = ended[k];
        releaseCast(context, message.state, message.actor);
    }
    ended.clear();
    game->messages.pool<AnimationStartedMessage>().clear();
}

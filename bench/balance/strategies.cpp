#include "balance/strategies.h"

#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>
#include <limits>
#include <optional>

#include "game/game.h"
#include "game/processors/ai_processor.h"
#include "game/processors/input_processor.h"
#include "game/recipes.h"
#include "io/data_manager.h"
#include "mechanics/navigation_mesh.h"

namespace balance {
namespace {

// Spacing of the points tried along a path.
constexpr float kSteerStep = 0.5f;

float dataFloat(const char* key) {
    return DataManager::getValue<float>(key);
}

glm::vec3 ground(const glm::vec3& v) {
    return glm::vec3(v.x, 0.0f, v.z);
}

float groundDistance(const glm::vec3& a, const glm::vec3& b) {
    return glm::length(ground(a - b));
}

bool onGround(const Scene& scene, const glm::vec3& point) {
    NavigationLocation location;
    return scene.game->level.navigationMesh->locate(point, location);
}

// Where to point the cursor to walk towards goal: the goal itself when it
// shows on the screen, else the farthest point of the shortest path to it
// that still does (as a player steers round walls), a little short of
// corners, where the ground ends.
glm::vec3 steer(const Scene& scene, const glm::vec3& goal) {
    if (scene.visible(goal)) {
        return goal;
    }
    const NavigationMesh& mesh = *scene.game->level.navigationMesh;
    NavigationLocation start;
    NavigationLocation end;
    if (!mesh.locate(scene.playerPosition, start) || !mesh.locate(goal, end)) {
        return goal;
    }
    std::list<glm::vec3> path;
    mesh.findPath(start, end, path);
    glm::vec3 aim = goal;
    glm::vec3 from = scene.playerPosition;
    for (const glm::vec3& corner : path) {
        const float length = groundDistance(corner, from);
        for (float along = kSteerStep; along < length; along += kSteerStep) {
            const glm::vec3 point = from + (corner - from) * (along / length);
            if (!scene.visible(point)) {
                return aim;
            }
            aim = point;
        }
        from = corner;
    }
    return aim;
}

// The point to throw a fireball at to meet the guard on the path it walks.
glm::vec3 leadOnGuard(const Scene& scene) {
    return AiProcessor::leadTarget(scene.playerPosition, scene.guardPosition, scene.guardPath, kActorSpeed,
                                   dataFloat("fireball.projectile.speed"));
}

// A point a few steps away that leaves the blast of every fireball flying at
// the player, as close to the way towards goal as it can be; none while no
// fireball threatens. Points closer than keepOut to avoid are not taken.
std::optional<glm::vec3> sidestep(const Scene& scene, const glm::vec3& goal,
                                  const glm::vec3& avoid = glm::vec3(0.0f), float keepOut = 0.0f) {
    const float blast = dataFloat("fireball.explosion.collisionRadius") + 1.0f;
    const float speed = dataFloat("fireball.projectile.speed");
    const Scene::Fireball* threat = nullptr;
    for (const Scene::Fireball& fireball : scene.enemyFireballs) {
        if (groundDistance(fireball.aim, scene.playerPosition) < blast &&
            (threat == nullptr || groundDistance(fireball.position, fireball.aim) <
                                      groundDistance(threat->position, threat->aim))) {
            threat = &fireball;
        }
    }
    if (threat == nullptr) {
        return std::nullopt;
    }
    // Where the player can be when the fireball arrives.
    const float reach = std::min(kActorSpeed * groundDistance(threat->position, threat->aim) / speed, 7.0f);
    glm::vec3 away = ground(scene.playerPosition - threat->aim);
    if (glm::length(away) < 0.3f) {
        const glm::vec3 flight = ground(threat->aim - threat->position);
        away = glm::vec3(-flight.z, 0.0f, flight.x);
    }
    away = glm::length(away) > 0.0f ? glm::normalize(away) : glm::vec3(1.0f, 0.0f, 0.0f);
    const glm::vec3 towardsGoal = ground(goal - scene.playerPosition);

    std::optional<glm::vec3> best;
    float bestScore = -std::numeric_limits<float>::max();
    for (const float degrees : {0.0f, 30.0f, -30.0f, 60.0f, -60.0f, 90.0f, -90.0f, 120.0f, -120.0f}) {
        const glm::vec3 direction = glm::angleAxis(glm::radians(degrees), glm::vec3(0.0f, 1.0f, 0.0f)) * away;
        const glm::vec3 arrival = scene.playerPosition + direction * reach;
        const glm::vec3 target = scene.playerPosition + direction * 7.0f;
        if (!onGround(scene, target) || (keepOut > 0.0f && groundDistance(target, avoid) < keepOut)) {
            continue;
        }
        const float clearance = groundDistance(arrival, threat->aim) - blast;
        // Safe ones by progress towards the goal, the rest by clearance.
        const float score = clearance > 0.0f ? 1000.0f + glm::dot(direction, towardsGoal) : clearance;
        if (score > bestScore) {
            bestScore = score;
            best = target;
        }
    }
    return best;
}

bool move(Intent& intent, const glm::vec3& point) {
    intent.action = Intent::Move;
    intent.point = point;
    return true;
}

// Chain lightning at the guard if it is ready and in reach, else a fireball.
bool strikeGuard(const Scene& scene, Intent& intent, float fireballShare) {
    const float distance = groundDistance(scene.playerPosition, scene.guardPosition);
    if (!scene.visible(scene.guardPosition)) {
        return false;
    }
    if (scene.lightningReady && distance <= dataFloat("chainLightning.range") - 0.5f) {
        intent.action = Intent::CastLightning;
        intent.point = scene.guardPosition;
        return true;
    }
    const float reach = dataFloat("fireball.projectile.speed") * dataFloat("fireball.projectile.lifetime");
    if (scene.fireballReady && distance <= reach * fireballShare) {
        intent.action = Intent::CastFireball;
        intent.point = leadOnGuard(scene);
        return true;
    }
    return false;
}

class NaiveRaid : public PlayerStrategy {
  public:
    void decide(const Scene& scene, Intent& intent) override {
        if (scene.playerAlive) {
            move(intent, steer(scene, scene.carrying ? scene.blueBase : scene.redFlag));
        }
    }
};

class Brawler : public PlayerStrategy {
  public:
    void decide(const Scene& scene, Intent& intent) override {
        if (!scene.playerAlive || scene.windingUp) {
            return;
        }
        if (scene.carrying) {
            move(intent, steer(scene, scene.blueBase));
            return;
        }
        if (!scene.guardAlive || groundDistance(scene.playerPosition, scene.redFlag) < kGrabDistance) {
            move(intent, steer(scene, scene.redFlag));
            return;
        }
        // A post inside the guard's watch, in plain sight of the flag.
        const glm::vec3 post = scene.redBase + glm::vec3(-10.0f, 0.0f, -10.0f);
        if (groundDistance(scene.playerPosition, post) > 2.0f) {
            move(intent, steer(scene, post));
            return;
        }
        strikeGuard(scene, intent, 0.9f);
    }

  private:
    static constexpr float kGrabDistance = 6.0f;
};

class Skilled : public PlayerStrategy {
  public:
    void decide(const Scene& scene, Intent& intent) override {
        if (!scene.playerAlive || scene.windingUp) {
            return;
        }
        if (scene.carrying) {
            runHome(scene, intent);
            return;
        }
        if (!scene.guardAlive || groundDistance(scene.playerPosition, scene.redFlag) < kGrabDistance) {
            // The guard is down (or the flag is a step away): take it.
            const std::optional<glm::vec3> dodge = sidestep(scene, scene.redFlag);
            move(intent, dodge ? *dodge : steer(scene, scene.redFlag));
            return;
        }
        const float watch = AiProcessor::kWatchRadius;
        const glm::vec3 stand = standPoint(scene);
        const glm::vec3 player = scene.playerPosition;
        if (const std::optional<glm::vec3> dodge = sidestep(scene, stand, scene.redBase, watch + 1.0f)) {
            move(intent, *dodge);
            return;
        }
        const bool watched = glm::distance(player, scene.redBase) < watch + 0.5f;
        if (watched || groundDistance(player, stand) > kStandTolerance) {
            move(intent, steer(scene, stand));
            return;
        }
        strikeGuard(scene, intent, 0.9f);
    }

  private:
    // A point just outside the watch radius from which the guard shows on
    // the screen, in reach of a chain lightning and with nothing in between,
    // the nearest such to the player; the current one when none is.
    glm::vec3 standPoint(const Scene& scene) {
        const float radius = AiProcessor::kWatchRadius + kStandOff;
        const float range = dataFloat("chainLightning.range") - 2.0f;
        float best = std::numeric_limits<float>::max();
        for (int degrees = 0; degrees < 360; degrees += 10) {
            const float a = glm::radians(static_cast<float>(degrees));
            const glm::vec3 point = scene.redBase + radius * glm::vec3(std::cos(a), 0.0f, std::sin(a));
            const glm::vec3 offset = scene.guardPosition - point;
            // The follow camera shows more of the arena ahead (north) than behind.
            const bool shown = std::abs(offset.x) < 24.0f && offset.z > -12.0f && offset.z < 24.0f;
            if (!shown || glm::length(ground(offset)) > range || !onGround(scene, point) ||
                !clearLine(scene, point, scene.guardPosition)) {
                continue;
            }
            const float walk = groundDistance(point, scene.playerPosition);
            if (walk < best) {
                best = walk;
                stand = point;
            }
        }
        return stand;
    }

    // Whether the ground is open all the way from a to b (no wall, rock or
    // tree footprint in between).
    static bool clearLine(const Scene& scene, const glm::vec3& a, const glm::vec3& b) {
        const float length = groundDistance(a, b);
        for (float along = 0.0f; along < length; along += kSteerStep) {
            if (!onGround(scene, a + (b - a) * (along / length))) {
                return false;
            }
        }
        return true;
    }

    void runHome(const Scene& scene, Intent& intent) {
        if (const std::optional<glm::vec3> dodge = sidestep(scene, scene.blueBase)) {
            move(intent, *dodge);
            return;
        }
        // Turn on the chaser once it is close enough to shoot; a chaser
        // further away only catches up while the carrier stops.
        const float reach =
            dataFloat("fireball.projectile.speed") * dataFloat("fireball.projectile.lifetime");
        if (scene.guardAlive && groundDistance(scene.playerPosition, scene.guardPosition) <= reach + 1.0f &&
            strikeGuard(scene, intent, 1.0f)) {
            return;
        }
        move(intent, steer(scene, scene.blueBase));
    }

    static constexpr float kGrabDistance = 6.0f;
    static constexpr float kStandOff = 1.5f;
    static constexpr float kStandTolerance = 2.0f;
    glm::vec3 stand{0.0f};
};

// The skilled raid by the clock, with no eyes for the world: every step is a
// ground point of the arena (known from the level) and a time to wait, the
// way the end-to-end test plays it through the real window. The player only
// believes where its actor is, from the distances walked, and points the
// cursor where the point would show if the camera stood where it believes;
// in a hurry it clicks the next point before the last walk ends, allowing for
// the trailing camera. Each step costs the hand some latency, as the input
// tools of a real window do.
class ScriptedRaid : public PlayerStrategy {
  public:
    void decide(const Scene& scene, Intent& intent) override {
        if (steps.empty()) {
            plan(scene.game->level);
        }
        act(scene, intent);
    }

  private:
    void act(const Scene& scene, Intent& intent) {
        while (next < steps.size() && (!begun || scene.time >= stepStart + stepLength)) {
            if (begun) {
                ++next;
            }
            if (next >= steps.size()) {
                return;
            }
            begin(scene.time);
        }
        if (next >= steps.size()) {
            return;
        }
        const Step& step = steps[next];
        const double into = scene.time - stepStart;
        if (step.action == Intent::Move && into < kHold) {
            intent.action = Intent::Move;
            intent.point = step.point;
            intent.believedCentre = step.seen ? scene.playerPosition : clickCentre;
        } else if ((step.action == Intent::CastFireball || step.action == Intent::CastLightning) &&
                   !pressed) {
            intent.action = step.action;
            intent.point = step.point;
            intent.believedCentre = clickCentre;
            pressed = true;
        }
    }

    static constexpr float kHold = 0.15f;
    static constexpr float kHurry = 0.9f;
    static constexpr float kSettle = 3.0f;
    static constexpr float kScreenshot = 0.2f;
    static constexpr float kLook = 0.3f + kScreenshot;  // the camera's catching up and a screenshot
    static constexpr float kPathSlack = 1.05f;          // paths run a little longer than the straight line
    static constexpr float kLatency = 0.1f;             // per step, for the input tools
    static constexpr float kFrame = 1.0f / 60.0f;       // the harness's step
    // Round the Red base outside the guard's watch (20 units round its
    // flag) all the way: the last leg keeps over 21 units from the flag.
    static inline const std::vector<glm::vec3> kToPost{
        {-24.0f, 0.0f, -10.0f}, {-22.0f, 0.0f, -2.0f}, {-12.0f, 0.0f, -2.0f}, {6.0f, 0.0f, 10.0f},
        {24.0f, 0.0f, 18.0f},   {30.0f, 0.0f, 22.0f},  {44.0f, 0.0f, 21.5f}};
    static inline const std::vector<glm::vec3> kHome{
        {36.0f, 0.0f, -4.0f},   {24.0f, 0.0f, -14.0f},  {8.0f, 0.0f, -16.0f}, {-2.0f, 0.0f, -8.0f},
        {-16.0f, 0.0f, -16.0f}, {-24.0f, 0.0f, -10.0f}, {-34.0f, 0.0f, -8.0f}};

    struct Step {
        Intent::Action action;
        glm::vec3 point;
        bool hurry;
        float share;        // of the walk, in a hurry, before the next step
        bool seen = false;  // the point is clicked where it shows on the screen
        float wait = 0.0f;  // of an idle step
    };

    Step reload() const {
        // The cooldown runs from the release; the cast step has waited the
        // wind-up and a little more.
        return {Intent::Idle, guard, false, 0.0f, false, dataFloat("cooldown.fireball") + 0.05f};
    }

    // The script, from what the level shows every player: the first spawn
    // of each team (the player's and the guard's, where the guard stays
    // until an enemy comes into its watch) and the flags.
    void plan(const Level& level) {
        const glm::vec3 start = level.spawnPoints.at(Blue).front();
        guard = level.spawnPoints.at(Red).front();
        const glm::vec3 redFlag = level.flagPositions.at(Red);
        const glm::vec3 blueFlag = level.flagPositions.at(Blue);
        position = start;
        // The camera comes down from above at the start; the player waits
        // until it has settled behind the actor.
        steps.push_back({Intent::Idle, start, false, 0.0f, false, kSettle});
        for (const glm::vec3& point : kToPost) {
            steps.push_back({Intent::Move, point, false, 0.0f});
        }
        // Chain lightning and then fireballs at the guard's starting spot,
        // each after the last wind-up and the slot's cooldown, until they add
        // up to its health; the run starts while the last one flies.
        float dealt = dataFloat("chainLightning.damage");
        steps.push_back({Intent::CastLightning, guard, false, 0.0f});
        while (dealt < kActorHealth) {
            steps.push_back({Intent::CastFireball, guard, false, 0.0f});
            dealt += dataFloat("fireball.damage");
            if (dealt < kActorHealth) {
                steps.push_back(reload());
            }
        }
        steps.push_back({Intent::Move, redFlag, true, 1.1f});  // onto the flag
        for (const glm::vec3& point : kHome) {
            steps.push_back({Intent::Move, point, true, point == kHome.back() ? 1.0f : kHurry});
        }
        // A moment for the camera to catch up and a look at the screen: the
        // ring round the Blue flag shows where the flag is, whatever the
        // reckoning says, and the last click goes there.
        steps.push_back({Intent::Idle, blueFlag, false, 0.0f, false, kLook});
        steps.push_back({Intent::Move, blueFlag, false, 0.0f, true});
    }

    // Where the actor is believed to be at match time `at`, and where the
    // screen centre (the camera trails a walking actor) is believed to be.
    std::pair<glm::vec3, glm::vec3> whereabouts(double at) const {
        if (!leg) {
            return {position, position};
        }
        const float distance = groundDistance(leg->start, leg->target);
        const float walked =
            std::min(kActorSpeed / kPathSlack * static_cast<float>(std::max(0.0, at - leg->began)), distance);
        const glm::vec3 heading = distance > 0.0f ? (leg->target - leg->start) / distance : glm::vec3(0.0f);
        const glm::vec3 here = leg->start + heading * walked;
        if (walked >= distance) {
            return {here, here};
        }
        const float lag =
            kActorSpeed * kFrame * (1.0f - InputProcessor::kFollowFactor) / InputProcessor::kFollowFactor;
        return {here, here - heading * lag};
    }

    void begin(double now) {
        begun = true;
        stepStart = now;
        pressed = false;
        const Step& step = steps[next];
        switch (step.action) {
            case Intent::Move: {
                const double clicked = now + kHold;
                const auto [here, centre] = whereabouts(clicked);
                clickCentre = centre;
                const float travel = groundDistance(here, step.point) * kPathSlack / kActorSpeed;
                if (step.hurry) {
                    leg = Leg{here, step.point, clicked};
                    stepLength = kHold + travel * step.share;
                } else {
                    leg.reset();
                    stepLength = kHold + travel * 1.6f + 1.5f;
                }
                position = step.point;
                break;
            }
            case Intent::CastFireball:
            case Intent::CastLightning:
                clickCentre = whereabouts(now).second;
                stepLength =
                    dataFloat(step.action == Intent::CastLightning ? "animation.length.windup.chainLightning"
                                                                   : "animation.length.windup.fireball") +
                    0.15f;
                break;
            case Intent::Idle:
                stepLength = step.wait;
                break;
        }
        stepLength += kLatency;
    }

    struct Leg {
        glm::vec3 start;
        glm::vec3 target;
        double began;
    };

    std::vector<Step> steps;
    std::size_t next = 0;
    bool begun = false;
    double stepStart = 0.0;
    double stepLength = 0.0;
    bool pressed = false;
    glm::vec3 guard{0.0f};
    glm::vec3 position{0.0f};
    std::optional<Leg> leg;
    glm::vec3 clickCentre{0.0f};
};

}  // namespace

std::unique_ptr<PlayerStrategy> makeStrategy(Strategy strategy) {
    switch (strategy) {
        case Strategy::NaiveRaid:
            return std::make_unique<NaiveRaid>();
        case Strategy::Brawler:
            return std::make_unique<Brawler>();
        case Strategy::ScriptedRaid:
            return std::make_unique<ScriptedRaid>();
        case Strategy::Skilled:
            break;
    }
    return std::make_unique<Skilled>();
}

}  // namespace balance

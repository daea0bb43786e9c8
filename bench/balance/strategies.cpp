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
// cursor where the point would show if the camera stood where it believes.
// It walks to its post with clicks, waiting each time for the camera to
// settle, and runs from the post onto the Red flag and home with the button
// held, the cursor kept a little ahead of where the actor must be by then on
// the way, allowing for the trailing camera. Each step costs the hand some
// latency, as the input tools of a real window do.
class ScriptedRaid : public PlayerStrategy {
  public:
    explicit ScriptedRaid(float latency) : latency(latency) {}

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
        if (step.action == Intent::Move && step.pursue) {
            // The button stays down; the cursor stays on the point of the
            // route a little ahead of where the actor is believed to be, as
            // the screen shows it while the camera trails the actor.
            const float walked = kActorSpeed * static_cast<float>(into);
            intent.action = Intent::Move;
            intent.point = carrot(walked);
            // The follow camera covers a share of the remaining way to the
            // actor each frame.
            camera += (route.at(walked) - camera) * InputProcessor::kFollowFactor;
            intent.believedCentre = camera;
        } else if (step.action == Intent::Move && step.seen) {
            // Still held, the cursor on the point where the screen shows it.
            intent.action = Intent::Move;
            intent.point = step.point;
        } else if (step.action == Intent::Move && into < kHold) {
            intent.action = Intent::Move;
            intent.point = step.point;
            intent.believedCentre = clickCentre;
        } else if ((step.action == Intent::CastFireball || step.action == Intent::CastLightning) &&
                   !pressed) {
            intent.action = step.action;
            intent.point = step.point;
            intent.believedCentre = clickCentre;
            pressed = true;
        }
    }

    static constexpr float kHold = 0.15f;
    static constexpr float kSettle = 3.0f;
    static constexpr float kHomeIn = 15.0f;     // on the Blue flag's ring at most, after the run
    static constexpr float kPathSlack = 1.05f;  // paths run a little longer than the straight line
    // Round the Red base outside the guard's watch (20 units round its
    // flag) all the way: the last leg keeps over 21 units from the flag.
    static inline const std::vector<glm::vec3> kToPost{
        {-24.0f, 0.0f, -10.0f}, {-22.0f, 0.0f, -2.0f}, {-12.0f, 0.0f, -2.0f}, {6.0f, 0.0f, 10.0f},
        {24.0f, 0.0f, 18.0f},   {30.0f, 0.0f, 22.0f},  {44.0f, 0.0f, 21.5f}};
    // The shortest way from the post onto the Red flag and from there to
    // the Blue flag, as the navigation mesh finds it: its corners, round the
    // north ends of the Red base wall, the middle wall and the Blue base wall.
    static inline const glm::vec3 kOntoFlag{42.0f, 0.0f, 2.0f};
    static inline const std::vector<glm::vec3> kHome{
        {32.0f, 0.0f, -2.0f},   {30.0f, 0.0f, -8.0f},   {20.0f, 0.0f, -10.0f},
        {18.0f, 0.0f, -14.0f},  {4.0f, 0.0f, -14.0f},   {2.0f, 0.0f, -12.0f},
        {-24.0f, 0.0f, -12.0f}, {-28.0f, 0.0f, -10.0f}, {-34.0f, 0.0f, -8.0f}};
    static constexpr float kCarrot = 6.0f;        // how far ahead of the actor the cursor holds the route
    static constexpr float kTouchMargin = 0.5f;   // past the flag before the cursor leaves it
    static constexpr float kPursuitSlack = 1.0f;  // held on after the route is believed walked

    struct Step {
        Intent::Action action;
        glm::vec3 point;
        bool seen = false;    // held on the point where it shows on the screen
        float wait = 0.0f;    // of an idle step
        bool pursue = false;  // held along the route, the cursor kept ahead of the actor
    };

    // A way on the ground, measured along its length.
    struct Route {
        std::vector<glm::vec3> points;
        std::vector<float> lengths;  // from the start to each point

        void add(const glm::vec3& point) {
            if (!points.empty() && groundDistance(point, points.back()) < 1e-3f) {
                return;
            }
            lengths.push_back(points.empty() ? 0.0f : lengths.back() + groundDistance(point, points.back()));
            points.push_back(point);
        }
        float length() const { return lengths.empty() ? 0.0f : lengths.back(); }
        std::size_t segment(float along) const {
            std::size_t k = 1;
            while (k + 1 < points.size() && lengths[k] < along) {
                ++k;
            }
            return k;
        }
        glm::vec3 at(float along) const {
            if (points.size() < 2 || along >= length()) {
                return points.empty() ? glm::vec3(0.0f) : points.back();
            }
            const std::size_t k = segment(std::max(along, 0.0f));
            const float span = lengths[k] - lengths[k - 1];
            const float t = span > 0.0f ? (std::max(along, 0.0f) - lengths[k - 1]) / span : 1.0f;
            return points[k - 1] + (points[k] - points[k - 1]) * t;
        }
    };

    // The point the cursor holds: kCarrot ahead along the route, but never
    // past a point the actor must touch (the Red flag) before it is believed
    // to stand on it.
    glm::vec3 carrot(float walked) const {
        float ahead = walked + kCarrot;
        if (walked < touchAt + kTouchMargin) {
            ahead = std::min(ahead, touchAt);
        }
        return route.at(ahead);
    }

    Step reload() const {
        // The cooldown runs from the release; the cast step has waited the
        // wind-up and a little more.
        return {Intent::Idle, guard, false, dataFloat("cooldown.fireball") + 0.05f};
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
        steps.push_back({Intent::Idle, start, false, kSettle});
        for (const glm::vec3& point : kToPost) {
            steps.push_back({Intent::Move, point});
        }
        // Chain lightning and then fireballs at the guard's starting spot,
        // each after the last wind-up and the slot's cooldown, until they add
        // up to its health; the run starts while the last one flies.
        float dealt = dataFloat("chainLightning.damage");
        steps.push_back({Intent::CastLightning, guard});
        while (dealt < kActorHealth) {
            steps.push_back({Intent::CastFireball, guard});
            dealt += dataFloat("fireball.damage");
            if (dealt < kActorHealth) {
                steps.push_back(reload());
            }
        }
        // Then one run with the button held: onto the flag and home along
        // the shortest way round the walls, the cursor kept ahead of the
        // actor (but on the flag until the actor is on it).
        route = Route{};
        route.add(kToPost.back());
        route.add(kOntoFlag);
        route.add(redFlag);
        touchAt = route.length();
        for (const glm::vec3& point : kHome) {
            route.add(point);
        }
        route.add(blueFlag);
        steps.push_back({Intent::Move, blueFlag, false, 0.0f, true});
        // The button stays down and the cursor goes where the ring round the
        // Blue flag shows on the screen, whatever the reckoning says, until
        // the flag is touched.
        steps.push_back({Intent::Move, blueFlag, true});
    }

    void begin(double now) {
        begun = true;
        stepStart = now;
        pressed = false;
        const Step& step = steps[next];
        switch (step.action) {
            case Intent::Move:
                // Every click but the run's comes with the camera settled on
                // the actor where it is believed to stand.
                clickCentre = position;
                camera = position;
                stepLength =
                    step.pursue ? route.length() / kActorSpeed + kPursuitSlack
                    : step.seen
                        ? kHomeIn
                        : kHold + groundDistance(position, step.point) * kPathSlack / kActorSpeed * 1.6f +
                              1.5f;
                position = step.point;
                break;
            case Intent::CastFireball:
            case Intent::CastLightning:
                clickCentre = position;
                stepLength =
                    dataFloat(step.action == Intent::CastLightning ? "animation.length.windup.chainLightning"
                                                                   : "animation.length.windup.fireball") +
                    0.15f;
                break;
            case Intent::Idle:
                stepLength = step.wait;
                break;
        }
        stepLength += latency;
    }

    const float latency;  // per step, for the hand and the input tools
    std::vector<Step> steps;
    std::size_t next = 0;
    bool begun = false;
    double stepStart = 0.0;
    double stepLength = 0.0;
    bool pressed = false;
    glm::vec3 guard{0.0f};
    glm::vec3 position{0.0f};
    glm::vec3 clickCentre{0.0f};
    Route route;
    float touchAt = 0.0f;    // along the route, the Red flag
    glm::vec3 camera{0.0f};  // where the screen centre is believed to be during the run
};

}  // namespace

std::unique_ptr<PlayerStrategy> makeStrategy(Strategy strategy, const MatchSettings& settings) {
    switch (strategy) {
        case Strategy::NaiveRaid:
            return std::make_unique<NaiveRaid>();
        case Strategy::Brawler:
            return std::make_unique<Brawler>();
        case Strategy::ScriptedRaid:
            return std::make_unique<ScriptedRaid>(static_cast<float>(settings.latency));
        case Strategy::Skilled:
            break;
    }
    return std::make_unique<Skilled>();
}

}  // namespace balance

#include "io/data_keys.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "io/data_manager.h"

namespace {
const char* const textKeys[] = {
    "context.window.title",
    "animation.name.idle",
    "animation.name.run",
    "animation.name.dying",
    "animation.name.dead",
    "animation.name.fireball.windup",
    "animation.name.fireball.backswing",
    "animation.name.chainLightning.windup",
    "animation.name.chainLightning.backswing",
    "animation.name.crushingWave.windup",
    "animation.name.crushingWave.backswing",
    "animation.name.waveform.windup",
    "animation.name.waveform.backswing",
};

const char* const floatKeys[] = {
    "animation.length.spawn",
    "animation.length.idle",
    "animation.length.run",
    "animation.length.windup.fireball",
    "animation.length.backswing.fireball",
    "animation.length.windup.chainLightning",
    "animation.length.backswing.chainLightning",
    "animation.length.windup.crushingWave",
    "animation.length.backswing.crushingWave",
    "animation.length.dying",
    "animation.length.dead",
    "cooldown.fireball",
    "cooldown.chainLightning",
    "cooldown.crushingWave",
    "cooldown.waveform",
    "cooldown.sweepingBlow",
    "cooldown.shurikenToss",
    "cooldown.manaBurn",
    "cooldown.dash",
    "cooldown.implode",
    "cooldown.shield",
    "cooldown.illusion",
    "cooldown.teleport",
    "chainLightning.range",
    "chainLightning.snapDistance",
    "chainLightning.damage",
    "fireball.projectile.speed",
    "fireball.projectile.lifetime",
    "fireball.projectile.collisionRadius",
    "fireball.explosion.collisionRadius",
    "fireball.damage",
};

const char* const vectorKeys[] = {"camera.offset", "light.direction"};

// States that are their own successors: a length of 0 would never let the
// animation clock finish a frame.
const char* const loopingLengthKeys[] = {"animation.length.idle", "animation.length.run",
                                         "animation.length.dead"};

void requireNotVertical(const char* key) {
    const glm::vec3 v = DataManager::getVec3(key);
    if (std::fabs(v.x) + std::fabs(v.z) <= 1e-6f) {
        throw std::invalid_argument(std::string("Data key \"") + key +
                                    "\" must not be vertical: a view along the up axis is degenerate!");
    }
}
}  // namespace

void checkDataKeys() {
    DataManager::getValue<std::string>("context.window.title");
    DataManager::getValue<uint32_t>("context.window.resolution.x");
    DataManager::getValue<uint32_t>("context.window.resolution.y");
    DataManager::getValue<bool>("context.window.fullscreen");
    DataManager::getValue<uint16_t>("context.tickrate");
    for (const char* key : textKeys) {
        DataManager::getValue<std::string>(key);
    }
    for (const char* key : floatKeys) {
        DataManager::getValue<float>(key);
    }
    for (const char* key : vectorKeys) {
        DataManager::getVec3(key);
    }
    for (const char* key : loopingLengthKeys) {
        if (!(DataManager::getValue<float>(key) > 0.0f)) {
            throw std::invalid_argument(std::string("Data key \"") + key + "\" must be above 0!");
        }
    }
    requireNotVertical("camera.offset");
    requireNotVertical("light.direction");
    if (!(DataManager::getValue<float>("fireball.projectile.collisionRadius") <= 1.0f)) {
        throw std::invalid_argument(
            "Data key \"fireball.projectile.collisionRadius\" must be at most 1: the projectile flies one unit "
            "above the ground!");
    }
}

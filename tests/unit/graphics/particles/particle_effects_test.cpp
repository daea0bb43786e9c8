#include "graphics/particles/particle_effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/geometric.hpp>
#include <map>
#include <typeinfo>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "particle_test_support.h"
#include "support/log_capture.h"
#include "utils/random.h"

using namespace particle_test;

namespace {

std::shared_ptr<ParticleSystemInstance> make(const std::string& name) {
    auto instance = ParticleEffectLibrary::instance().create(name);
    EXPECT_NE(instance, nullptr) << name;
    return instance;
}

Entity entityAt(EntityManager& manager, const glm::vec3& position) {
    const Entity entity = manager.create();
    manager.assign<TransformComponent>(entity.id(), TransformComponent{position});
    return entity;
}

}  // namespace

TEST(ParticleEffectLibrary, HoldsTheFiveEffectsWithTheirBudgetsSpacesAndOrientations) {
    auto& library = ParticleEffectLibrary::instance();
    EXPECT_EQ(library.names(),
              (std::vector<std::string>{"Ember", "Explosion", "Flame", "PressureWave", "Spark"}));
    struct Expected {
        const char* name;
        std::uint32_t budget;
        ParticleSystem::ParticleSpace space;
        ParticleSystem::ParticleOrientation orientation;
        const std::type_info& emitter;
        std::size_t initializers;
        std::size_t updaters;
    };
    const Expected table[] = {
        {"Flame", 16, ParticleSystem::WorldSpace, ParticleSystem::FacingCamera, typeid(ContinuousEmitter), 4,
         3},
        {"Ember", 7, ParticleSystem::WorldSpace, ParticleSystem::FacingCamera, typeid(ContinuousEmitter), 3,
         2},
        {"Explosion", 4, ParticleSystem::ModelSpace, ParticleSystem::FacingCamera, typeid(BurstEmitter), 3,
         3},
        {"Spark", 15, ParticleSystem::ModelSpace, ParticleSystem::AlongVelocity, typeid(BurstEmitter), 3, 2},
        {"PressureWave", 1, ParticleSystem::ModelSpace, ParticleSystem::Horizontal, typeid(BurstEmitter), 3,
         2},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(expected.name);
        const ParticleSystem* system = library.find(expected.name);
        ASSERT_NE(system, nullptr);
        EXPECT_EQ(system->maxParticles, expected.budget);
        EXPECT_EQ(system->space, expected.space);
        EXPECT_EQ(system->orientation, expected.orientation);
        ASSERT_EQ(system->emitters.size(), 1u);
        EXPECT_EQ(typeid(*system->emitters[0]), expected.emitter);
        EXPECT_EQ(system->initializers.size(), expected.initializers);
        EXPECT_EQ(system->updaters.size(), expected.updaters);
        // Every instance is new and shares the one description.
        const auto a = library.create(expected.name);
        const auto b = library.create(expected.name);
        ASSERT_TRUE(a && b);
        EXPECT_NE(a, b);
        EXPECT_EQ(&a->system(), system);
        EXPECT_EQ(&b->system(), system);
        EXPECT_EQ(a->maxParticles(), expected.budget);
    }
}

TEST(ParticleEffectLibrary, AnswersAnUnknownNameWithNothingAndAnError) {
    LogCapture capture;
    EXPECT_EQ(ParticleEffectLibrary::instance().create("Smoke"), nullptr);
    EXPECT_EQ(ParticleEffectLibrary::instance().find("flame"), nullptr);  // names are case-sensitive
    EXPECT_EQ(capture.count(LogCapture::Severity::error, "Unknown particle effect [Smoke]!"), 1u);
    EXPECT_EQ(capture.count(LogCapture::Severity::error, "Unknown particle effect [flame]!"), 1u);
}

TEST(FlameEffect, StreamsAHundredPuffsASecondAndNeverRunsOutOfItsSixteen) {
    RandomGenerator::seed(21);
    EntityManager manager;
    const Entity fireball = entityAt(manager, glm::vec3(0.0f, 1.0f, 0.0f));
    auto flame = make("Flame");
    const FrameLog log = run(*flame, fireball, 120);
    EXPECT_NEAR(log.births, 200u, 2u);
    EXPECT_LE(log.mostAlive, 15u);
    EXPECT_GE(log.leastFree, 1u);
    for (std::uint32_t particle : alive(*flame)) {
        const ParticleVertex& vertex = flame->vertex(particle);
        const ParticleOrigin& origin = flame->origin(particle);
        EXPECT_FLOAT_EQ(origin.lifetime, 0.15f);
        EXPECT_LT(vertex.lifetime, 0.15f);
        // Between (1, 0.2, 0.08, 1) and (1, 0.3, 0, 1) with one factor.
        EXPECT_EQ(origin.color.r, 1.0f);
        EXPECT_GE(origin.color.g, 0.2f);
        EXPECT_LE(origin.color.g, 0.3f);
        EXPECT_NEAR(origin.color.b, 0.08f - 0.8f * (origin.color.g - 0.2f), 1e-5f);
        EXPECT_EQ(origin.size, 3.0f);
        EXPECT_LE(vertex.size, 3.0f);
        EXPECT_GE(vertex.size, 0.3f);
        EXPECT_GE(origin.rotation, -180.0f);
        EXPECT_LE(origin.rotation, 180.0f);
        EXPECT_EQ(vertex.position, glm::vec3(0.0f, 1.0f, 0.0f));
    }

    // Puffs stay where they were born in the world while the fireball flies on.
    manager.component<TransformComponent>(fireball.id())->position = glm::vec3(50.0f, 1.0f, 0.0f);
    run(*flame, fireball, 1);
    int behind = 0;
    int ahead = 0;
    for (std::uint32_t particle : alive(*flame)) {
        const float x = flame->vertex(particle).position.x;
        behind += x == 0.0f ? 1 : 0;
        ahead += x == 50.0f ? 1 : 0;
    }
    EXPECT_GT(behind, 0);
    EXPECT_GT(ahead, 0);
    EXPECT_EQ(static_cast<std::uint32_t>(behind + ahead), flame->aliveCount());
}

TEST(FlameEffect, FadesInThenOutAndShrinksOverEachPuffsLife) {
    RandomGenerator::seed(22);
    auto flame = make("Flame");
    flame->stopEmitting();
    ASSERT_TRUE(flame->spawn(Entity(), 0.15f, 0.15f));
    std::vector<float> brightness;
    std::vector<float> sizes;
    std::vector<float> left;  // fraction of the life left
    while (flame->vertex(0).lifetime > 0.0f) {
        flame->simulate(Entity(), 0.01f);
        if (flame->vertex(0).lifetime > 0.0f) {
            brightness.push_back(flame->vertex(0).color.a);
            sizes.push_back(flame->vertex(0).size);
            left.push_back(flame->vertex(0).lifetime / 0.15f);
        }
    }
    ASSERT_GE(brightness.size(), 14u);
    // Up over the first 10 % of the life, full, then down over the last 40 %.
    EXPECT_NEAR(brightness[0], 0.01f / 0.015f, 1e-4f);
    EXPECT_EQ(brightness[2], 1.0f);
    EXPECT_EQ(brightness[7], 1.0f);
    EXPECT_NEAR(brightness[13], left[13] / 0.4f, 1e-4f);
    EXPECT_LT(brightness[13], 0.2f);
    // From 3 towards 0.3 over the whole life.
    for (std::size_t k = 1; k < sizes.size(); ++k) {
        EXPECT_LT(sizes[k], sizes[k - 1]);
    }
    EXPECT_NEAR(sizes[0], 2.7f * left[0] + 0.3f, 1e-4f);
    EXPECT_LT(sizes[13], 0.5f);
}

TEST(EmberEffect, ScattersWithinHalfAUnitOfTheFireballThirtyASecond) {
    RandomGenerator::seed(23);
    EntityManager manager;
    const glm::vec3 where(3.0f, 1.0f, -2.0f);
    const Entity fireball = entityAt(manager, where);
    auto ember = make("Ember");
    const FrameLog log = run(*ember, fireball, 120);
    EXPECT_NEAR(log.births, 60u, 1u);
    EXPECT_LE(log.mostAlive, 7u);
    EXPECT_GE(log.mostAlive, 5u);
    ASSERT_GT(ember->aliveCount(), 0u);
    for (std::uint32_t particle : alive(*ember)) {
        const ParticleVertex& vertex = ember->vertex(particle);
        EXPECT_LE(glm::length(vertex.position - where), 0.5f + 1e-5f);
        EXPECT_EQ(vertex.velocity, glm::vec3(0.0f));
        EXPECT_EQ(vertex.size, 0.15f);
        EXPECT_EQ(ember->origin(particle).color, glm::vec4(1.0f, 0.8f, 0.8f, 1.0f));
        EXPECT_FLOAT_EQ(ember->origin(particle).lifetime, 0.2f);
        for (int c = 0; c < 4; ++c) {
            EXPECT_LE(vertex.color[c], ember->origin(particle).color[c] + 1e-6f);
        }
    }
}

TEST(ExplosionEffect, BurstsFourWhitePuffsThatSpreadFlatAndAreGoneAfterTheirLife) {
    RandomGenerator::seed(24);
    auto explosion = make("Explosion");
    explosion->simulate(Entity(), kFrame);
    EXPECT_EQ(explosion->aliveCount(), 4u);
    EXPECT_EQ(explosion->emitterCount(), 0u);
    std::map<std::uint32_t, float> startSize;
    for (std::uint32_t particle = 0; particle < 4; ++particle) {
        const ParticleVertex& vertex = explosion->vertex(particle);
        const ParticleOrigin& origin = explosion->origin(particle);
        EXPECT_FLOAT_EQ(origin.lifetime, 0.18f);
        EXPECT_EQ(vertex.position.y, 0.0f);
        EXPECT_EQ(vertex.velocity.y, 0.0f);
        EXPECT_LE(glm::length(vertex.position), 0.75f + 1.45f * kFrame + 1e-5f);
        EXPECT_GE(glm::length(vertex.velocity), 1.25f - 1e-4f);
        EXPECT_LE(glm::length(vertex.velocity), 1.45f + 1e-4f);
        EXPECT_GE(origin.size, 3.0f);
        EXPECT_LE(origin.size, 4.0f);
        // No colour initializer: white, faded in as a whole.
        EXPECT_EQ(origin.color, glm::vec4(1.0f));
        EXPECT_EQ(vertex.color.r, vertex.color.a);
        EXPECT_GT(vertex.color.a, 0.0f);
        EXPECT_LT(vertex.color.a, 1.0f);
        startSize[particle] = origin.size;
    }
    // Ten frames in, the last 30 % of the life: shrinking towards 1.
    run(*explosion, Entity(), 9);
    EXPECT_EQ(explosion->aliveCount(), 4u);
    for (std::uint32_t particle = 0; particle < 4; ++particle) {
        EXPECT_LT(explosion->vertex(particle).size, startSize[particle]);
        EXPECT_GT(explosion->vertex(particle).size, 1.0f);
    }
    // 0.18 s is 10.8 frames: the eleventh ends them all.
    run(*explosion, Entity(), 1);
    EXPECT_EQ(explosion->aliveCount(), 0u);
    EXPECT_TRUE(explosion->finished());
    EXPECT_EQ(run(*explosion, Entity(), 30).births, 0u);
}

TEST(SparkEffect, ThrowsFifteenSparksOutFastThatFallAndAreGoneAfterTheirLife) {
    RandomGenerator::seed(25);
    auto spark = make("Spark");
    spark->simulate(Entity(), kFrame);
    EXPECT_EQ(spark->aliveCount(), 15u);
    for (std::uint32_t particle = 0; particle < 15; ++particle) {
        const ParticleVertex& vertex = spark->vertex(particle);
        const ParticleOrigin& origin = spark->origin(particle);
        EXPECT_FLOAT_EQ(origin.lifetime, 0.28f);
        EXPECT_GE(glm::length(origin.velocity), 5.0f - 1e-4f);
        EXPECT_LE(glm::length(origin.velocity), 6.0f + 1e-4f);
        // Gravity of 20 units per second squared, from the first frame.
        EXPECT_NEAR(vertex.velocity.y, origin.velocity.y - 20.0f * kFrame, 1e-4f);
        EXPECT_EQ(vertex.velocity.x, origin.velocity.x);
        EXPECT_LE(glm::length(vertex.position), 0.65f + 6.0f * kFrame + 1e-4f);
        EXPECT_EQ(vertex.color, glm::vec4(1.0f, 0.6f, 0.6f, 1.0f));  // not fading yet
        EXPECT_GE(vertex.size, 0.2f);
        EXPECT_LE(vertex.size, 0.3f);
    }
    // The last 30 % of the life fades: 0.28 s is 16.8 frames.
    run(*spark, Entity(), 15);
    EXPECT_EQ(spark->aliveCount(), 15u);
    for (std::uint32_t particle = 0; particle < 15; ++particle) {
        EXPECT_LT(spark->vertex(particle).color.a, 0.3f);
    }
    run(*spark, Entity(), 1);
    EXPECT_EQ(spark->aliveCount(), 0u);
    EXPECT_TRUE(spark->finished());
}

TEST(PressureWaveEffect, GrowsFrom2_5To7_5WhileItRisesAndFadesOverItsLastHalf) {
    auto wave = make("PressureWave");
    std::vector<float> sizes;
    std::vector<float> alphas;
    std::vector<float> heights;
    for (int frame = 0; frame < 20; ++frame) {
        wave->simulate(Entity(), kFrame);
        if (wave->vertex(0).lifetime > 0.0f) {
            sizes.push_back(wave->vertex(0).size);
            alphas.push_back(wave->vertex(0).color.a);
            heights.push_back(wave->vertex(0).position.y);
            const float left = wave->vertex(0).lifetime / 0.25f;
            EXPECT_NEAR(wave->vertex(0).size, 7.5f - 5.0f * left, 1e-4f);
            EXPECT_EQ(wave->vertex(0).velocity, glm::vec3(0.0f, 0.1f, 0.0f));
        }
    }
    // 0.25 s at 60 frames a second: alive after 14 frames, gone with the 15th.
    ASSERT_EQ(sizes.size(), 14u);
    EXPECT_TRUE(wave->finished());
    EXPECT_GT(sizes.front(), 2.5f);
    EXPECT_LT(sizes.front(), 3.0f);
    EXPECT_GT(sizes.back(), 7.0f);
    for (std::size_t k = 1; k < sizes.size(); ++k) {
        EXPECT_GT(sizes[k], sizes[k - 1]);
        EXPECT_NEAR(heights[k] - heights[k - 1], 0.1f * kFrame, 1e-6f);
        EXPECT_LE(alphas[k], alphas[k - 1]);
    }
    EXPECT_EQ(alphas[5], 1.0f);  // first half: untouched
    EXPECT_LT(alphas.back(), 0.15f);
}

TEST(ParticleEffects, EveryParticleOfEveryEffectDiesWithinItsLifetime) {
    RandomGenerator::seed(26);
    EntityManager manager;
    const Entity entity = entityAt(manager, glm::vec3(1.0f, 2.0f, 3.0f));
    const std::map<std::string, float> lifetimes = {
        {"Flame", 0.15f}, {"Ember", 0.2f}, {"Explosion", 0.18f}, {"Spark", 0.28f}, {"PressureWave", 0.25f}};
    for (const auto& [name, lifetime] : lifetimes) {
        SCOPED_TRACE(name);
        auto effect = make(name);
        std::vector<int> age(effect->maxParticles(), -1);  // frames lived, -1 while dead
        const int allowed = static_cast<int>(std::ceil(lifetime / kFrame));
        for (int frame = 0; frame < 180; ++frame) {
            std::vector<float> before(effect->maxParticles());
            for (std::uint32_t k = 0; k < effect->maxParticles(); ++k) {
                before[k] = effect->vertex(k).lifetime;
            }
            effect->simulate(entity, kFrame);
            for (std::uint32_t k = 0; k < effect->maxParticles(); ++k) {
                const float now = effect->vertex(k).lifetime;
                if (now > 0.0f) {
                    const bool born = !(before[k] > 0.0f && now < before[k]);
                    age[k] = born ? 1 : age[k] + 1;
                    ASSERT_LT(age[k], allowed) << "particle " << k;
                } else {
                    age[k] = -1;
                }
            }
            // The free list holds exactly the dead.
            ASSERT_EQ(effect->aliveCount() + effect->freeList().size(), effect->maxParticles());
        }
    }
}

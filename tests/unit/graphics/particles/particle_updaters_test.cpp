#include "graphics/particles/particle_updaters.h"

#include <gtest/gtest.h>

#include <cmath>

#include "particle_test_support.h"

using namespace particle_test;
namespace upd = particle_updaters;

namespace {

// One live particle that started with `color` and size 3 for `total`
// seconds, with `left` seconds left.
struct OneParticle {
    explicit OneParticle(float total, float left, const glm::vec4& color = glm::vec4(0.8f, 0.6f, 0.4f, 1.0f))
        : system(bare(1)), instance(system) {
        instance.origin(0).lifetime = total;
        instance.origin(0).color = color;
        instance.origin(0).size = 3.0f;
        instance.vertex(0).lifetime = left;
        instance.vertex(0).color = color;
        instance.vertex(0).size = 3.0f;
    }
    ParticleVertex& vertex() { return instance.vertex(0); }
    const ParticleOrigin& origin() { return instance.origin(0); }

    ParticleSystem system;
    ParticleSystemInstance instance;
};

void expectColorNear(const glm::vec4& actual, const glm::vec4& expected) {
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(actual[c], expected[c], 1e-5f) << "channel " << c;
    }
}

}  // namespace

TEST(AccelerationUpdater, AddsAccelerationTimesTheFrameToTheVelocityOnly) {
    OneParticle one(1.0f, 0.5f);
    one.vertex().velocity = glm::vec3(5.0f, 0.0f, 0.0f);
    upd::Acceleration(glm::vec3(0.0f, -20.0f, 0.0f)).update(one.instance, Entity(), 0, 0.1f);
    EXPECT_FLOAT_EQ(one.vertex().velocity.x, 5.0f);
    EXPECT_FLOAT_EQ(one.vertex().velocity.y, -2.0f);
    EXPECT_EQ(one.origin().velocity, glm::vec3(0.0f));
    EXPECT_EQ(one.vertex().position, glm::vec3(0.0f));  // moving is the instance's job
}

TEST(FadeInUpdater, ScalesFromTheOriginColourOverTheFirstPartOfTheLife) {
    const glm::vec4 start(0.8f, 0.6f, 0.4f, 1.0f);
    {
        // 5 % of the life gone of a 10 % fade: half way in, all four channels.
        OneParticle one(1.0f, 0.95f);
        upd::FadeIn(0.1f, true, upd::FadeColorAndAlpha).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, start * 0.5f);
    }
    {
        OneParticle one(1.0f, 0.95f);
        upd::FadeIn(0.1f, true, upd::FadeColor).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, start * 0.5f);
    }
    {
        // Alpha only.
        OneParticle one(1.0f, 0.95f);
        upd::FadeIn(0.1f, true, upd::FadeAlpha).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, glm::vec4(0.8f, 0.6f, 0.4f, 0.5f));
    }
    {
        // Seconds: 0.5 s old of a 1 s fade.
        OneParticle one(2.0f, 1.5f);
        upd::FadeIn(1.0f, false, upd::FadeColorAndAlpha).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, start * 0.5f);
    }
    {
        // Past the fade the origin colour holds; it is scaled, not the vertex's.
        OneParticle one(1.0f, 0.2f);
        one.vertex().color = glm::vec4(0.0f);
        upd::FadeIn(0.1f, true, upd::FadeColorAndAlpha).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, start);
    }
    {
        // Other modes leave the colour alone; a fade of no length is complete.
        OneParticle one(1.0f, 0.95f);
        one.vertex().color = glm::vec4(0.1f);
        upd::FadeIn(0.1f, true, upd::FadeNothing).update(one.instance, Entity(), 0, 0.0f);
        upd::FadeIn(0.1f, true, static_cast<upd::FadeMode>(7)).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, glm::vec4(0.1f));
        upd::FadeIn(0.0f, true, upd::FadeColorAndAlpha).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, start);
    }
}

TEST(FadeOutUpdater, DarkensOverTheLastPartOfTheLife) {
    const glm::vec4 start(0.8f, 0.6f, 0.4f, 1.0f);
    {
        // A relative fade-out of 0.4 with 20 % of the life left: half the colour.
        OneParticle one(0.5f, 0.1f);
        upd::FadeOut(0.4f, true, upd::FadeColorAndAlpha).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, start * 0.5f);
    }
    {
        // Before the last 40 % nothing changes.
        OneParticle one(1.0f, 0.6f);
        one.vertex().color = glm::vec4(0.3f);
        upd::FadeOut(0.4f, true, upd::FadeColorAndAlpha).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, glm::vec4(0.3f));
    }
    {
        // Seconds, alpha only: 0.05 s left of a 0.2 s fade.
        OneParticle one(3.0f, 0.05f);
        upd::FadeOut(0.2f, false, upd::FadeAlpha).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, glm::vec4(0.8f, 0.6f, 0.4f, 0.25f));
    }
    {
        // A fade-out of no length never divides by it.
        OneParticle one(1.0f, 0.5f);
        upd::FadeOut(0.0f, true, upd::FadeColorAndAlpha).update(one.instance, Entity(), 0, 0.0f);
        expectColorNear(one.vertex().color, start);
    }
}

TEST(ShrinkOutUpdater, MovesTheSizeTowardsTheEndSizeOverTheLastPartOfTheLife) {
    {
        // Flame: from 3 towards 0.3 over the whole life; half of it left.
        OneParticle one(0.15f, 0.075f);
        upd::ShrinkOut(0.3f, 1.0f, true).update(one.instance, Entity(), 0, 0.0f);
        EXPECT_NEAR(one.vertex().size, 1.65f, 1e-5f);
    }
    {
        // An end size above the start grows the particle.
        OneParticle one(1.0f, 0.25f);
        one.instance.origin(0).size = 2.5f;
        upd::ShrinkOut(7.5f, 1.0f, true).update(one.instance, Entity(), 0, 0.0f);
        EXPECT_NEAR(one.vertex().size, 6.25f, 1e-5f);
    }
    {
        // Seconds: not yet inside the last 0.3 s, then 0.1 s left.
        OneParticle one(2.0f, 0.5f);
        upd::ShrinkOut(1.0f, 0.3f, false).update(one.instance, Entity(), 0, 0.0f);
        EXPECT_EQ(one.vertex().size, 3.0f);
        one.vertex().lifetime = 0.1f;
        upd::ShrinkOut(1.0f, 0.3f, false).update(one.instance, Entity(), 0, 0.0f);
        EXPECT_NEAR(one.vertex().size, 2.0f / 3.0f + 1.0f, 1e-5f);
        upd::ShrinkOut(1.0f, 0.0f, false).update(one.instance, Entity(), 0, 0.0f);
        EXPECT_TRUE(std::isfinite(one.vertex().size));
    }
}

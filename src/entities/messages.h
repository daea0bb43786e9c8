#pragma once
// Every message the systems send each other. Plain values: they live in their
// pool from the moment they are sent until the end of the frame.
#include <array>
#include <cstdint>
#include <glm/glm.hpp>
#include <string>

#include "entities/entity.h"

// The victim's health reached zero.
struct ActorDiedMessage {
    Entity victim;
};

// `state` is the actor's animation state (see the animation component).
struct AnimationEndedMessage {
    std::int32_t state = 0;
    Entity actor;
};

struct AnimationStartedMessage {
    std::int32_t state = 0;
    Entity actor;
};

// Two entities whose collision volumes touch.
struct CollisionMessage {
    Entity first;
    Entity second;
};

// `team` is the team of the actor that took, returned or captured the flag
// (0 Blue, 1 Red).
struct FlagTakenMessage {
    std::uint8_t team = 0;
};

struct FlagReclaimedMessage {
    std::uint8_t team = 0;
};

struct CapturedFlagMessage {
    std::uint8_t team = 0;
};

// Cursor position in window coordinates (pixels).
struct MoveToCursorOrderMessage {
    Entity actor;
    std::int32_t cursorX = 0;
    std::int32_t cursorY = 0;
};

struct MoveToLocationOrderMessage {
    Entity actor;
    glm::vec3 location;
};

// A line for the heads-up display.
struct NotificationMessage {
    std::string text;
};

// Cooldown state of the controlled actor's four skill slots, in slot order.
struct PlayerCooldownsMessage {
    struct Slot {
        // 1 - remaining / cooldown: 1 when the slot is ready.
        float readiness = 0.0f;
        // Seconds until the slot is ready.
        float remaining = 0.0f;
    };
    std::array<Slot, 4> slots;
};

// `skill` is a skill id; the cursor is in window coordinates (pixels).
struct SkillCastToCursorOrderMessage {
    Entity actor;
    std::int32_t skill = 0;
    std::int32_t cursorX = 0;
    std::int32_t cursorY = 0;
};

struct SkillCastToLocationOrderMessage {
    Entity actor;
    std::int32_t skill = 0;
    glm::vec3 location;
};

struct ToggleTextureSamplingMethodOrderMessage {};

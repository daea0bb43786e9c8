#pragma once
// Window-system input as small values, one type per GLFW callback kind.
#include <cstdint>

struct KeyPressedEvent {
    int32_t key;   // GLFW key code
    int32_t mods;  // GLFW modifier bits
};

struct KeyRepeatedEvent {
    int32_t key;
    int32_t mods;
};

struct KeyReleasedEvent {
    int32_t key;
    int32_t mods;
};

// Cursor coordinates are window coordinates truncated toward zero.
struct MouseButtonPressedEvent {
    int32_t x;
    int32_t y;
    int32_t button;
    int32_t mods;
};

struct MouseButtonReleasedEvent {
    int32_t x;
    int32_t y;
    int32_t button;
    int32_t mods;
};

struct MouseMovedEvent {
    int32_t x;
    int32_t y;
    int32_t dx;  // difference to the previous cursor event
    int32_t dy;
};

struct CharacterEvent {
    uint32_t codepoint;
};

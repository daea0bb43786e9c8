#pragma once
#include <cstdint>
#include <functional>

class Context;
class Game;

// One pass of the frame loop, given the time since the previous pass in
// seconds. The game's own pass updates the game by it and presents the
// frame; a pass that returns false ends the loop as closing the window does.
using FramePass = std::function<bool(Game& game, Context& context, double dt)>;

// Brings the game up, runs the frame loop until the window closes (or a
// pass ends it) and tears everything down. Returns the process exit code.
int runFlagstorm(const FramePass& pass = FramePass());

// The frame delta handed to the game: whole microseconds between two clock
// readings (nanoseconds), in seconds, rounded to single precision.
double frameDelta(int64_t t0Nanoseconds, int64_t t1Nanoseconds);

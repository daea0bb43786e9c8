#pragma once
#include <cstdint>

// Brings the game up, runs the frame loop until the window closes and tears
// everything down. Returns the process exit code.
int runFlagstorm();

// The frame delta handed to the game: whole microseconds between two clock
// readings (nanoseconds), in seconds, rounded to single precision.
double frameDelta(int64_t t0Nanoseconds, int64_t t1Nanoseconds);

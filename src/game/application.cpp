#include "game/application.h"

int runFlagstorm() { return 0; }

double frameDelta(int64_t t0, int64_t t1) {
    const int64_t microseconds = (t1 - t0) / 1000;
    return static_cast<double>(static_cast<float>(static_cast<double>(microseconds) / 1000000.0));
}

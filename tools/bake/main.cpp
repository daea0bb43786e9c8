// flagstorm_bake <repository root>: bakes all binary content in place.
#include <cstdio>
#include <string>

#include "bake.h"

int main(int argc, char** argv) {
    const std::string root = argc > 1 ? std::string(argv[1]) + "/" : std::string("./");
    bool ok = true;
    ok = bakeArena(root) && ok;
    ok = bakeMeshes(root) && ok;
    ok = bakeScenery(root) && ok;
    ok = bakeTextures(root) && ok;
    ok = bakeFonts(root) && ok;
    if (!ok) {
        std::fprintf(stderr, "flagstorm_bake: baking failed\n");
        return 1;
    }
    return 0;
}

#include "bake.h"

bool bakeMeshes(const std::string& /*root*/) { return true; }

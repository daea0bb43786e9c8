#pragma once
// The actor: a skinned low-poly humanoid with its skeleton and every clip
// the animation states play.
#include <vector>

namespace bake {

// The whole skeletal mesh file of the actor (mesh, skeleton, tags).
std::vector<unsigned char> actorMeshFile();

}  // namespace bake

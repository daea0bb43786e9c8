#pragma once
// The geometry of every kind of level object, defined once in model space so
// that the collision meshes, the navigation holes and the visual meshes all
// agree. Model space is the game's: units, y up, the object stands on y = 0
// and is centred on the y axis. A level object named after a kind uses it.
//
// Kinds: "Rock" (convex blob, ~3 wide, 2.5 high), "Wall" (box 12 on x, 4
// high, 1.5 thick on z), "Pillar" (octagonal prism, radius 1.5, height 8),
// "Tree" (octagonal trunk radius 0.6 height 4 plus a convex crown) and
// "Floor" (the 100 x 100 ground quad at y = 0, visual only: no parts, no
// footprint).
#include <array>
#include <cstdint>
#include <glm/glm.hpp>
#include <string>
#include <vector>

// A triangle list. Indices are 0-based into positions. Triangles are wound
// counter-clockwise seen from outside: (b - a) x (c - a) points outwards.
// Flat-shaded by intent: a visual mesh should split vertices per face.
struct Shape {
    std::vector<glm::vec3> positions;
    std::vector<std::array<uint32_t, 3>> triangles;
};

// Every kind that has a shape, sorted by name.
const std::vector<std::string>& shapeKinds();
bool hasShape(const std::string& kind);

// All triangles of a kind: its convex parts one after the other, or the
// floor quad. Throws std::out_of_range for a kind without a shape.
const Shape& shapeOf(const std::string& kind);

// The closed convex pieces of a kind, each with its own vertices (no vertex
// is shared between two parts, so a mesh loader that splits hulls by shared
// vertices finds exactly these parts). Empty for "Floor". Throws
// std::out_of_range for a kind without a shape.
const std::vector<Shape>& convexPartsOf(const std::string& kind);

// The outline of the kind seen from above: the convex hull of all its
// vertices projected to (x, z), counter-clockwise in the (x, z) plane (the
// sum of x[i] * z[i+1] - x[i+1] * z[i] is positive). Empty for "Floor".
// Throws std::out_of_range for a kind without a shape.
std::vector<glm::vec2> footprintOf(const std::string& kind);

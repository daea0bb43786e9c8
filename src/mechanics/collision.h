#pragma once
// Yes/no intersection tests between world-space collision volumes. No contact
// points, depths or normals are produced. Two simplifications: a sphere
// meeting a convex hull is replaced by its bounding box, and hulls are
// separated only along their face normals, never along edge-pair directions.
#include "mechanics/collision_volume.h"

// Whether any volume of first intersects any volume of second, trying pairs in
// order (first's volumes outer) and stopping at the first that intersects. A
// pair holding a volume of invalid type logs "Unrecognized collision volume
// type" and makes the answer false at once, without trying further pairs.
// Empty lists never collide.
bool collide(const CollisionVolumeList& first, const CollisionVolumeList& second);

// The exact test for the pair's kinds:
// - box-box: strict, boxes that only touch do not intersect;
// - box-sphere: inclusive, a sphere touching the box intersects it;
// - sphere-sphere: strict, centres exactly the sum of the radii apart do not;
// - sphere-hull: the sphere's bounding box against the hull;
// - box-hull: the box as a hull with the three coordinate axes;
// - hull-hull: separatedOnAxes, inclusive.
// An invalid type logs "Unrecognized collision volume type" and answers false.
bool intersects(const CollisionVolume& a, const CollisionVolume& b);

// The separating-axis test over the axes of a, then those of b: true as soon
// as the vertex projections of the two hulls on one axis do not overlap.
// Intervals that meet at a single value overlap. Axes are used as stored,
// without normalising.
bool separatedOnAxes(const ConvexHull& a, const ConvexHull& b);

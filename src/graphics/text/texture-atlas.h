#pragma once
// The glyph atlas: one texture whose texels are handed out as rectangles by a
// skyline packer ("bottom-left" style: each request goes where its top edge
// ends lowest). A one-texel border stays free on every side, so linear
// filtering at a region's edge never picks up a neighbour.
//
// Only texture_atlas_upload and texture_atlas_delete talk to OpenGL, and both
// do so only while an OpenGL context is current; packing and copying work on
// the texels in memory and need no context.
//
// Misuse prints a line to standard error and changes nothing; running out of
// memory prints "line %d: No more memory for allocating data" and ends the
// process with exit code 1.
#include <cstddef>

#include "graphics/text/vector.h"

// A rectangle in texels; {-1, -1, 0, 0} stands for "no room".
struct texture_atlas_region_t {
    int x;
    int y;
    int width;
    int height;
};

// One step of the skyline: the span x .. x + width - 1 is used up to (not including) row y.
struct texture_atlas_node_t {
    int x;
    int y;
    int width;
};

struct texture_atlas_t {
    size_t width;         // texels
    size_t height;        // texels
    size_t depth;         // bytes per texel: 1 (alpha), 3 (RGB) or 4 (BGRA)
    size_t used;          // texels handed out so far
    unsigned int id;      // OpenGL texture name, 0 until the first upload
    unsigned char* data;  // width x height x depth bytes, rows from y = 0, owned
    vector_t* nodes;      // the skyline: texture_atlas_node_t ordered by x, covering x = 1 .. width - 2
};

// A zero-filled atlas with the skyline {1, 1, width - 2}. nullptr (with a
// message) when a side is under 3 texels or depth is not 1, 3 or 4.
texture_atlas_t* texture_atlas_new(size_t width, size_t height, size_t depth);
// Frees the atlas and deletes its texture; nullptr is ignored.
void texture_atlas_delete(texture_atlas_t* self);

// Reserves a width x height rectangle. Returns it, or {-1, -1, 0, 0} when no
// place inside the border fits it (or a side is 0).
texture_atlas_region_t texture_atlas_get_region(texture_atlas_t* self, size_t width, size_t height);

// Copies width x height texels into the atlas at (x, y); row r is read from
// data + r x stride (stride in bytes, at least width x depth). The rectangle
// must lie inside the border: x > 0, y > 0, x + width <= atlas width - 1,
// y + height <= atlas height - 1; otherwise nothing is copied.
void texture_atlas_set_region(texture_atlas_t* self, size_t x, size_t y, size_t width, size_t height,
                              const unsigned char* data, size_t stride);

// Creates the texture on first use and uploads every texel (clamp to edge,
// linear filtering). Without a current OpenGL context it does nothing, and a
// later call uploads everything.
void texture_atlas_upload(texture_atlas_t* self);

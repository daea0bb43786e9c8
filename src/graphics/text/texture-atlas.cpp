#include "graphics/text/texture-atlas.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void outOfMemory(int line) {
    std::fprintf(stderr, "line %d: No more memory for allocating data\n", line);
    std::exit(EXIT_FAILURE);
}

texture_atlas_node_t* node(const texture_atlas_t* self, size_t index) {
    return static_cast<texture_atlas_node_t*>(vector_get(self->nodes, index));
}

// The row the bottom of a width x height rectangle would sit on when its left
// edge is at skyline node `index`, or -1 when it does not fit there.
int fit(const texture_atlas_t* self, size_t index, int width, int height) {
    const int right = static_cast<int>(self->width) - 1;
    const int bottom = static_cast<int>(self->height) - 1;
    const texture_atlas_node_t* start = node(self, index);
    if (start->x + width > right) {
        return -1;
    }
    int y = start->y;
    int widthLeft = width;
    for (size_t i = index; widthLeft > 0; ++i) {
        if (i >= vector_size(self->nodes)) {
            return -1;  // the skyline always reaches the right border; kept as a guard
        }
        const texture_atlas_node_t* spanned = node(self, i);
        if (spanned->y > y) {
            y = spanned->y;
        }
        if (y + height > bottom) {
            return -1;
        }
        widthLeft -= spanned->width;
    }
    return y;
}

void merge(texture_atlas_t* self) {
    size_t i = 0;
    while (i + 1 < vector_size(self->nodes)) {
        texture_atlas_node_t* current = node(self, i);
        const texture_atlas_node_t* next = node(self, i + 1);
        if (current->y == next->y) {
            current->width += next->width;
            vector_erase(self->nodes, i + 1);
        } else {
            ++i;
        }
    }
}

// --- OpenGL: the only calls of these modules into the driver. ----------------

bool contextCurrent() {
    return glfwGetCurrentContext() != nullptr;
}

void uploadTexture(texture_atlas_t* self) {
    if (!contextCurrent()) {
        return;
    }
    if (self->id == 0) {
        glGenTextures(1, &self->id);
    }
    glBindTexture(GL_TEXTURE_2D, self->id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Rows are packed tightly; the default 4-byte row alignment would read past
    // the data whenever width x depth is not a multiple of 4.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLsizei width = static_cast<GLsizei>(self->width);
    const GLsizei height = static_cast<GLsizei>(self->height);
    if (self->depth == 4) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     self->data);
    } else if (self->depth == 3) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, self->data);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, width, height, 0, GL_ALPHA, GL_UNSIGNED_BYTE, self->data);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

void deleteTexture(texture_atlas_t* self) {
    if (self->id != 0 && contextCurrent()) {
        glDeleteTextures(1, &self->id);
    }
    self->id = 0;
}

// -----------------------------------------------------------------------------

}  // namespace

texture_atlas_t* texture_atlas_new(size_t width, size_t height, size_t depth) {
    // Sides stay within int (the skyline's coordinate type) and the texel count within size_t.
    if (width < 3 || height < 3 || width > INT_MAX / 2 || height > INT_MAX / 2) {
        std::fprintf(stderr, "texture_atlas_new: unusable size %zu x %zu\n", width, height);
        return nullptr;
    }
    if (depth != 1 && depth != 3 && depth != 4) {
        std::fprintf(stderr, "texture_atlas_new: unusable depth %zu\n", depth);
        return nullptr;
    }
    if (width > SIZE_MAX / height / depth) {
        outOfMemory(__LINE__);
    }
    texture_atlas_t* self = static_cast<texture_atlas_t*>(std::malloc(sizeof(texture_atlas_t)));
    if (self == nullptr) {
        outOfMemory(__LINE__);
    }
    self->width = width;
    self->height = height;
    self->depth = depth;
    self->used = 0;
    self->id = 0;
    self->data = static_cast<unsigned char*>(std::calloc(width * height * depth, 1));
    if (self->data == nullptr) {
        outOfMemory(__LINE__);
    }
    self->nodes = vector_new(sizeof(texture_atlas_node_t));
    const texture_atlas_node_t first = {1, 1, static_cast<int>(width) - 2};
    vector_push_back(self->nodes, &first);
    return self;
}

void texture_atlas_delete(texture_atlas_t* self) {
    if (self == nullptr) {
        return;
    }
    deleteTexture(self);
    vector_delete(self->nodes);
    std::free(self->data);
    std::free(self);
}

texture_atlas_region_t texture_atlas_get_region(texture_atlas_t* self, size_t width, size_t height) {
    const texture_atlas_region_t none = {-1, -1, 0, 0};
    if (self == nullptr) {
        std::fprintf(stderr, "texture_atlas_get_region: no atlas given\n");
        return none;
    }
    if (width == 0 || height == 0) {
        std::fprintf(stderr, "texture_atlas_get_region: empty request %zu x %zu\n", width, height);
        return none;
    }
    // Larger than the inner area: cannot fit anywhere (and keeps the int arithmetic below safe).
    if (width > self->width - 2 || height > self->height - 2) {
        return none;
    }
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);

    int bestIndex = -1;
    int bestBottom = INT_MAX;
    int bestWidth = INT_MAX;
    int bestY = 0;
    for (size_t i = 0; i < vector_size(self->nodes); ++i) {
        const int y = fit(self, i, w, h);
        if (y < 0) {
            continue;
        }
        const int nodeWidth = node(self, i)->width;
        if (y + h < bestBottom || (y + h == bestBottom && nodeWidth < bestWidth)) {
            bestIndex = static_cast<int>(i);
            bestBottom = y + h;
            bestWidth = nodeWidth;
            bestY = y;
        }
    }
    if (bestIndex < 0) {
        return none;
    }

    const size_t at = static_cast<size_t>(bestIndex);
    const texture_atlas_node_t placed = {node(self, at)->x, bestY + h, w};
    vector_insert(self->nodes, at, &placed);
    // The new step covers the start of the nodes after it: cut them back.
    const int placedRight = placed.x + placed.width;
    while (at + 1 < vector_size(self->nodes)) {
        texture_atlas_node_t* next = node(self, at + 1);
        if (next->x >= placedRight) {
            break;
        }
        const int overlap = placedRight - next->x;
        next->x += overlap;
        next->width -= overlap;
        if (next->width > 0) {
            break;
        }
        vector_erase(self->nodes, at + 1);
    }
    merge(self);
    self->used += width * height;
    return {placed.x, bestY, w, h};
}

void texture_atlas_set_region(texture_atlas_t* self, size_t x, size_t y, size_t width, size_t height,
                              const unsigned char* data, size_t stride) {
    if (self == nullptr) {
        std::fprintf(stderr, "texture_atlas_set_region: no atlas given\n");
        return;
    }
    // Written so that no sum can wrap: every term is checked against the atlas first.
    if (x == 0 || y == 0 || x >= self->width - 1 || y >= self->height - 1 || width > self->width - 1 - x ||
        height > self->height - 1 - y) {
        std::fprintf(stderr,
                     "texture_atlas_set_region: region (%zu, %zu) %zu x %zu outside the %zu x %zu atlas\n", x,
                     y, width, height, self->width, self->height);
        return;
    }
    if (width == 0 || height == 0) {
        return;
    }
    const size_t rowBytes = width * self->depth;
    if (data == nullptr || stride < rowBytes) {
        std::fprintf(stderr, "texture_atlas_set_region: source rows of %zu bytes hold no %zu texels\n",
                     stride, width);
        return;
    }
    for (size_t row = 0; row < height; ++row) {
        std::memcpy(self->data + ((y + row) * self->width + x) * self->depth, data + row * stride, rowBytes);
    }
}

void texture_atlas_upload(texture_atlas_t* self) {
    if (self == nullptr) {
        std::fprintf(stderr, "texture_atlas_upload: no atlas given\n");
        return;
    }
    uploadTexture(self);
}

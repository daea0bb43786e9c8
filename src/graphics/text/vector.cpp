#include "graphics/text/vector.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void outOfMemory(int line) {
    std::fprintf(stderr, "line %d: No more memory for allocating data\n", line);
    std::exit(EXIT_FAILURE);
}

bool checkSelf(const vector_t* self, const char* function) {
    if (self == nullptr) {
        std::fprintf(stderr, "%s: no vector given\n", function);
        return false;
    }
    return true;
}

char* bytes(const vector_t* self) {
    return static_cast<char*>(self->items);
}

// Capacity changes go through here: the byte count is checked for overflow, so
// a huge request ends as out of memory instead of as a short buffer.
void reallocate(vector_t* self, size_t capacity) {
    if (capacity > SIZE_MAX / self->item_size) {
        outOfMemory(__LINE__);
    }
    void* items = std::realloc(self->items, capacity * self->item_size);
    if (items == nullptr) {
        outOfMemory(__LINE__);
    }
    self->items = items;
    self->capacity = capacity;
}

// Room for `extra` more items, doubling so that pushing one by one is amortised constant.
void grow(vector_t* self, size_t extra) {
    if (extra > SIZE_MAX - self->size) {
        outOfMemory(__LINE__);
    }
    const size_t needed = self->size + extra;
    if (needed <= self->capacity) {
        return;
    }
    size_t capacity = self->capacity;
    while (capacity < needed) {
        capacity = capacity > SIZE_MAX / 2 ? needed : capacity * 2;
    }
    reallocate(self, capacity);
}

}  // namespace

vector_t* vector_new(size_t item_size) {
    if (item_size == 0) {
        std::fprintf(stderr, "vector_new: items of 0 bytes\n");
        return nullptr;
    }
    vector_t* self = static_cast<vector_t*>(std::malloc(sizeof(vector_t)));
    if (self == nullptr) {
        outOfMemory(__LINE__);
    }
    self->items = nullptr;
    self->capacity = 0;
    self->size = 0;
    self->item_size = item_size;
    reallocate(self, 1);
    return self;
}

void vector_delete(vector_t* self) {
    if (self == nullptr) {
        return;
    }
    std::free(self->items);
    std::free(self);
}

void* vector_get(const vector_t* self, size_t index) {
    if (!checkSelf(self, "vector_get")) {
        return nullptr;
    }
    if (index >= self->size) {
        std::fprintf(stderr, "vector_get: index %zu outside %zu items\n", index, self->size);
        return nullptr;
    }
    return bytes(self) + index * self->item_size;
}

void* vector_front(const vector_t* self) {
    if (!checkSelf(self, "vector_front")) {
        return nullptr;
    }
    if (self->size == 0) {
        std::fprintf(stderr, "vector_front: empty vector\n");
        return nullptr;
    }
    return self->items;
}

void* vector_back(const vector_t* self) {
    if (!checkSelf(self, "vector_back")) {
        return nullptr;
    }
    if (self->size == 0) {
        std::fprintf(stderr, "vector_back: empty vector\n");
        return nullptr;
    }
    return bytes(self) + (self->size - 1) * self->item_size;
}

int vector_contains(const vector_t* self, const void* item, int (*cmp)(const void*, const void*)) {
    if (!checkSelf(self, "vector_contains") || item == nullptr || cmp == nullptr) {
        return 0;
    }
    for (size_t i = 0; i < self->size; ++i) {
        if (cmp(item, bytes(self) + i * self->item_size) == 0) {
            return 1;
        }
    }
    return 0;
}

int vector_empty(const vector_t* self) {
    return self == nullptr || self->size == 0 ? 1 : 0;
}

size_t vector_size(const vector_t* self) {
    return self == nullptr ? 0 : self->size;
}

size_t vector_capacity(const vector_t* self) {
    return self == nullptr ? 0 : self->capacity;
}

void vector_reserve(vector_t* self, size_t size) {
    if (!checkSelf(self, "vector_reserve")) {
        return;
    }
    if (size > self->capacity) {
        reallocate(self, size);
    }
}

void vector_shrink(vector_t* self) {
    if (!checkSelf(self, "vector_shrink")) {
        return;
    }
    const size_t capacity = self->size > 0 ? self->size : 1;
    if (capacity < self->capacity) {
        reallocate(self, capacity);
    }
}

void vector_clear(vector_t* self) {
    if (!checkSelf(self, "vector_clear")) {
        return;
    }
    self->size = 0;
}

void vector_resize(vector_t* self, size_t size) {
    if (!checkSelf(self, "vector_resize")) {
        return;
    }
    if (size > self->size) {
        grow(self, size - self->size);
        std::memset(bytes(self) + self->size * self->item_size, 0, (size - self->size) * self->item_size);
    }
    self->size = size;
}

void vector_set(vector_t* self, size_t index, const void* item) {
    if (!checkSelf(self, "vector_set") || item == nullptr) {
        return;
    }
    if (index >= self->size) {
        std::fprintf(stderr, "vector_set: index %zu outside %zu items\n", index, self->size);
        return;
    }
    // memmove: the item may be this very slot.
    std::memmove(bytes(self) + index * self->item_size, item, self->item_size);
}

void vector_insert(vector_t* self, size_t index, const void* item) {
    vector_insert_data(self, index, item, 1);
}

void vector_insert_data(vector_t* self, size_t index, const void* data, size_t count) {
    if (!checkSelf(self, "vector_insert_data")) {
        return;
    }
    if (index > self->size) {
        std::fprintf(stderr, "vector_insert_data: index %zu past the end of %zu items\n", index, self->size);
        return;
    }
    if (count == 0) {
        return;
    }
    if (data == nullptr) {
        std::fprintf(stderr, "vector_insert_data: no data given\n");
        return;
    }
    // The source may lie inside our own storage, which growing frees and
    // shifting overwrites: copy it aside first in that case.
    const char* source = static_cast<const char*>(data);
    const uintptr_t begin = reinterpret_cast<uintptr_t>(self->items);
    const uintptr_t end = begin + self->capacity * self->item_size;
    const uintptr_t at = reinterpret_cast<uintptr_t>(source);
    void* copy = nullptr;
    if (at >= begin && at < end) {
        copy = std::malloc(count * self->item_size);
        if (copy == nullptr) {
            outOfMemory(__LINE__);
        }
        std::memcpy(copy, source, count * self->item_size);
        source = static_cast<const char*>(copy);
    }
    grow(self, count);
    char* slot = bytes(self) + index * self->item_size;
    std::memmove(slot + count * self->item_size, slot, (self->size - index) * self->item_size);
    std::memcpy(slot, source, count * self->item_size);
    self->size += count;
    std::free(copy);
}

void vector_push_back(vector_t* self, const void* item) {
    vector_insert_data(self, vector_size(self), item, 1);
}

void vector_push_back_data(vector_t* self, const void* data, size_t count) {
    vector_insert_data(self, vector_size(self), data, count);
}

void vector_erase(vector_t* self, size_t index) {
    if (!checkSelf(self, "vector_erase")) {
        return;
    }
    if (index >= self->size) {
        std::fprintf(stderr, "vector_erase: index %zu outside %zu items\n", index, self->size);
        return;
    }
    vector_erase_range(self, index, index + 1);
}

void vector_erase_range(vector_t* self, size_t first, size_t last) {
    if (!checkSelf(self, "vector_erase_range")) {
        return;
    }
    if (first > last || last > self->size) {
        std::fprintf(stderr, "vector_erase_range: range %zu..%zu outside %zu items\n", first, last,
                     self->size);
        return;
    }
    char* slot = bytes(self) + first * self->item_size;
    std::memmove(slot, slot + (last - first) * self->item_size, (self->size - last) * self->item_size);
    self->size -= last - first;
}

void vector_pop_back(vector_t* self) {
    if (!checkSelf(self, "vector_pop_back")) {
        return;
    }
    if (self->size == 0) {
        std::fprintf(stderr, "vector_pop_back: empty vector\n");
        return;
    }
    --self->size;
}

void vector_sort(vector_t* self, int (*cmp)(const void*, const void*)) {
    if (!checkSelf(self, "vector_sort") || cmp == nullptr) {
        return;
    }
    if (self->size > 1) {
        std::qsort(self->items, self->size, self->item_size, cmp);
    }
}

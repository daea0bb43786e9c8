#pragma once
// A growable array of fixed-size elements, in the C style of the text modules
// (texture-atlas, texture-font): plain struct, free functions, items copied
// byte-wise. Items are stored contiguously; a pointer returned by vector_get,
// vector_front or vector_back stays valid until the next call that changes the
// size or the capacity.
//
// Misuse (an index outside the vector, an empty vector where an item is needed)
// prints a line to standard error and leaves the vector unchanged; nothing is
// ever read or written outside the items. Running out of memory prints
// "line %d: No more memory for allocating data" and ends the process with
// exit code 1.
#include <cstddef>

struct vector_t {
    void* items;       // capacity x item_size bytes, owned
    size_t capacity;   // items that fit before the next reallocation
    size_t size;       // items in use
    size_t item_size;  // bytes per item, never 0
};

// A new empty vector for items of item_size bytes (capacity 1); nullptr when
// item_size is 0.
vector_t* vector_new(size_t item_size);
// Frees the vector and its items; nullptr is ignored.
void vector_delete(vector_t* self);

// The item at index, or nullptr when index >= size.
void* vector_get(const vector_t* self, size_t index);
// The first / last item, or nullptr when the vector is empty.
void* vector_front(const vector_t* self);
void* vector_back(const vector_t* self);
// 1 when an item equal to item under cmp (which answers 0 for equal) exists, else 0.
int vector_contains(const vector_t* self, const void* item, int (*cmp)(const void*, const void*));

// 1 when the vector holds no item.
int vector_empty(const vector_t* self);
size_t vector_size(const vector_t* self);
size_t vector_capacity(const vector_t* self);

// Makes room for at least size items without changing the content.
void vector_reserve(vector_t* self, size_t size);
// Lowers the capacity to the size (at least 1).
void vector_shrink(vector_t* self);
// Removes every item; the capacity stays.
void vector_clear(vector_t* self);
// New items are zero-filled; shrinking drops items from the back.
void vector_resize(vector_t* self, size_t size);

// Overwrites the item at index (< size) with a copy of item.
void vector_set(vector_t* self, size_t index, const void* item);
// Inserts a copy of item before index (index == size appends). The item may
// point into this vector's own storage.
void vector_insert(vector_t* self, size_t index, const void* item);
// Inserts count items read from data before index (index <= size).
void vector_insert_data(vector_t* self, size_t index, const void* data, size_t count);
void vector_push_back(vector_t* self, const void* item);
void vector_push_back_data(vector_t* self, const void* data, size_t count);

// Removes the item at index (< size).
void vector_erase(vector_t* self, size_t index);
// Removes the items first .. last - 1 (first <= last <= size).
void vector_erase_range(vector_t* self, size_t first, size_t last);
// Removes the last item (the vector must not be empty).
void vector_pop_back(vector_t* self);

// Sorts the items with qsort and cmp (negative, 0, positive as usual).
void vector_sort(vector_t* self, int (*cmp)(const void*, const void*));

#pragma once
// Per-frame messages between systems: one pool per message type, holding the
// messages of the current frame in sending order.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "entities/memory_pool.h"
#include "entities/type_index.h"

class MessagePools {
  public:
    template <typename T>
    using Pool = TypedMemoryPool<T, kPoolChunkBytes>;

    MessagePools() = default;
    MessagePools(const MessagePools&) = delete;
    MessagePools& operator=(const MessagePools&) = delete;
    // Destroys the messages still held and every pool.
    ~MessagePools();

    // The pool of message type T, created empty on first request. Read it with
    // size() and [k] (or a range-for), oldest first.
    template <typename T>
    Pool<T>& pool() {
        const std::uint32_t typeIndex = TypeIndex<MessageFamily>::of<T>();
        if (pools_.size() <= typeIndex) {
            pools_.resize(typeIndex + 1);
        }
        std::unique_ptr<MemoryPool>& entry = pools_[typeIndex];
        if (!entry) {
            entry = std::make_unique<Pool<T>>();
        }
        return static_cast<Pool<T>&>(*entry);
    }

    // Appends one message built from `args` (a constructor, or the fields of a
    // plain structure in order; braces refuse narrowing, so pass the field
    // types, e.g. std::uint8_t for a team). Steady state allocates nothing: the pools
    // keep their blocks when emptied.
    template <typename T, typename... Args>
    void emit(Args&&... args) {
        pool<T>().emplaceBack(std::forward<Args>(args)...);
    }

    // Empties every pool that exists, running the messages' destructors.
    void clearAll();

  private:
    std::vector<std::unique_ptr<MemoryPool>> pools_;
};

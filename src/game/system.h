#pragma once
// The processors that run every frame, and the map the game keeps them in.
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "entities/type_index.h"
#include "utils/non_copyable.h"

class EntityManager;
struct SystemFamily;

class BaseSystem : private NonCopyable {
public:
    virtual ~BaseSystem() = default;
    // One frame of the system; dt in seconds, already scaled by the time scale.
    virtual void update(double dt) = 0;
};

// Gives each concrete system its own type index.
template <typename T>
class System : public BaseSystem {
public:
    static uint32_t typeIndex() { return TypeIndex<SystemFamily>::of<T>(); }
};

class SystemManager {
public:
    explicit SystemManager(EntityManager& entities) : entities(entities), systems(8) {
        systems.max_load_factor(1.0f);
    }

    template <typename T>
    void add(std::shared_ptr<T> system) {
        systems.emplace(T::typeIndex(), std::move(system));
    }

    // The system of type T, or nullptr when none was added.
    template <typename T>
    std::shared_ptr<T> system() const {
        const auto it = systems.find(T::typeIndex());
        return it == systems.end() ? nullptr : std::static_pointer_cast<T>(it->second);
    }

    // Releases every system (their destructors unsubscribe their listeners).
    void clear() { systems.clear(); }

private:
    [[maybe_unused]] EntityManager& entities;  // the store the systems work on
    std::unordered_map<uint32_t, std::shared_ptr<BaseSystem>> systems;
};

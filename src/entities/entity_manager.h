#pragma once
// The store of the game world: entities are indices with versions, and each
// component type lives in its own pool, slot i belonging to entity index i.
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "entities/entity.h"
#include "entities/memory_pool.h"
#include "entities/type_index.h"

// A reference to one component of one entity that stays usable while the
// pools grow: every access looks the slot up anew. Do not keep the pointer
// that -> yields across anything that may create entities or assign components.
template <typename T>
class ComponentHandle {
  public:
    // Refers to nothing.
    ComponentHandle() = default;
    ComponentHandle(EntityManager* manager, std::uint32_t index, std::uint32_t version)
        : manager_(manager), index_(index), version_(version) {}

    explicit operator bool() const { return manager_ != nullptr; }

    // The handle must not be empty, and the entity must still hold a T.
    T* get() const;
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }

    Entity entity() const { return Entity(manager_, Entity::Id(index_, version_)); }

  private:
    EntityManager* manager_ = nullptr;
    std::uint32_t index_ = 0;
    std::uint32_t version_ = 0;
};

class EntityManager {
  public:
    // A test over entity ids used by views.
    using Predicate = std::function<bool(const EntityManager&, const Entity::Id&)>;
    class ComponentMaskPredicate;
    class View;

    template <typename T>
    using Pool = TypedMemoryPool<T, kPoolChunkBytes>;

    EntityManager() = default;
    EntityManager(const EntityManager&) = delete;
    EntityManager& operator=(const EntityManager&) = delete;
    // Destroys every component still held and every pool.
    virtual ~EntityManager();

    // A new live entity with no components. Reuses the index destroyed longest
    // ago, with its advanced version; otherwise takes a fresh index.
    Entity create();

    // Destroys the entity's components and frees its index. An id that is not
    // alive (destroyed already, or never handed out) is ignored, so an index
    // never enters the free list twice.
    void destroy(Entity::Id id);

    // Constructs a T for the entity from `args` (a constructor, or the fields of
    // a plain structure in order). A T the entity already holds is replaced and
    // its old value destroyed. An id that is not alive gets nothing: the result
    // is the empty handle and an error is logged.
    template <typename T, typename... Args>
    ComponentHandle<T> assign(Entity::Id id, Args&&... args);

    // Destroys the entity's T; nothing if it holds none.
    template <typename T>
    void remove(Entity::Id id);

    // The entity's T, or the empty handle when it holds none. Creates nothing.
    // Like has(), this trusts the id's version: pass ids of live entities.
    template <typename T>
    ComponentHandle<T> component(Entity::Id id);

    // True when the entity holds a T (the test of component(), without a handle).
    template <typename T>
    bool has(Entity::Id id) const;

    // A view over the entities that hold every one of T...; while iterating,
    // each handle is set to the current entity's component.
    template <typename... T>
    View query(ComponentHandle<T>&... handles);

    // True when the id names a live entity (its index was handed out and still
    // carries the id's version).
    bool valid(Entity::Id id) const {
        return id.index() < entityVersions_.size() && entityVersions_[id.index()] == id.version();
    }

    // Number of indices handed out so far, free ones included.
    std::uint32_t indexCount() const { return indexCounter_; }
    // One mask per index handed out.
    const std::vector<ComponentMask>& componentMasks() const { return componentMasks_; }

    // The pool of T, or null before the first T was assigned.
    template <typename T>
    const Pool<T>* componentPool() const;

    template <typename T>
    static std::uint32_t componentTypeIndex() {
        return TypeIndex<ComponentFamily>::of<T>();
    }

  private:
    template <typename T>
    friend class ComponentHandle;

    template <typename T>
    Pool<T>& poolFor(std::uint32_t typeIndex);
    template <typename T>
    T* slot(std::uint32_t index) {
        return static_cast<Pool<T>*>(componentPools_[componentTypeIndex<T>()].get())->get(index);
    }
    static void reportDeadAssign(Entity::Id id);

    std::uint32_t indexCounter_ = 0;
    std::vector<std::unique_ptr<MemoryPool>> componentPools_;
    std::vector<ComponentMask> componentMasks_;
    std::vector<std::uint32_t> entityVersions_;
    std::deque<std::uint32_t> freeList_;
};

// True for the entities that hold every component of the required mask. The
// version of the id is not looked at.
class EntityManager::ComponentMaskPredicate {
  public:
    ComponentMaskPredicate(const EntityManager& manager, ComponentMask required)
        : masks_(manager.componentMasks_), required_(required) {}

    bool operator()(const EntityManager&, const Entity::Id& id) const {
        return id.index() < masks_.size() && (masks_[id.index()] & required_) == required_;
    }

  private:
    const std::vector<ComponentMask>& masks_;
    ComponentMask required_;
};

// A query: predicates over ids, and unpackers that write the matching
// entity's components into handles owned by the caller. Iteration runs over
// the indices handed out when the iterator is made; it reads masks live, so
// the body may destroy the current entity or create others (an index reused
// ahead of the iterator is visited if it matches by then).
class EntityManager::View {
  public:
    class BaseUnpacker {
      public:
        virtual ~BaseUnpacker() = default;
        virtual void unpack(const Entity::Id& id) = 0;
    };

    template <typename T>
    class Unpacker final : public BaseUnpacker {
      public:
        Unpacker(EntityManager* manager, ComponentHandle<T>* target) : manager_(manager), target_(target) {}
        void unpack(const Entity::Id& id) override { *target_ = manager_->component<T>(id); }

      private:
        EntityManager* manager_;
        ComponentHandle<T>* target_;
    };

    class Iterator;

    View(EntityManager* manager, Predicate predicate) : manager_(manager) {
        predicates_.push_back(std::move(predicate));
    }

    // Adds a predicate, tested after the ones already there.
    View& where(Predicate predicate) {
        predicates_.push_back(std::move(predicate));
        return *this;
    }

    // Makes iteration write the current entity's T (or the empty handle) into
    // `target`, which must outlive the loop.
    template <typename T>
    View& bind(ComponentHandle<T>& target) {
        unpackers_.push_back(std::make_shared<Unpacker<T>>(manager_, &target));
        return *this;
    }

    Iterator begin() const;
    Iterator end() const;

  private:
    friend class EntityManager;
    // The form query() builds: the mask test runs inline ahead of the other
    // predicates, without the call through the function wrapper.
    struct MaskOnly {};
    View(EntityManager* manager, ComponentMask required, MaskOnly) : manager_(manager), required_(required) {}

    bool matches(std::uint32_t index) const;

    EntityManager* manager_;
    ComponentMask required_;
    std::vector<Predicate> predicates_;
    std::vector<std::shared_ptr<BaseUnpacker>> unpackers_;
};

// Dereferences to the current entity, with the version its index carries now.
class EntityManager::View::Iterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Entity;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Entity;

    Entity operator*() const {
        return Entity(view_.manager_, Entity::Id(index_, view_.manager_->entityVersions_[index_]));
    }
    Iterator& operator++() {
        ++index_;
        position();
        return *this;
    }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }

  private:
    friend class View;
    Iterator(const View& view, std::uint32_t index, std::uint32_t end)
        : view_(view), index_(index), end_(end) {}

    void position();

    View view_;
    std::uint32_t index_;
    std::uint32_t end_;
};

// ---------------------------------------------------------------------------
// Template and inline definitions.

template <typename T>
T* ComponentHandle<T>::get() const {
    assert(manager_ != nullptr && "access through an empty component handle");
    return manager_->template slot<T>(index_);
}

template <typename T>
EntityManager::Pool<T>& EntityManager::poolFor(std::uint32_t typeIndex) {
    if (componentPools_.size() <= typeIndex) {
        componentPools_.resize(typeIndex + 1);
    }
    std::unique_ptr<MemoryPool>& entry = componentPools_[typeIndex];
    if (!entry) {
        auto pool = std::make_unique<Pool<T>>();
        pool->expand(indexCounter_);
        entry = std::move(pool);
    }
    return static_cast<Pool<T>&>(*entry);
}

template <typename T, typename... Args>
ComponentHandle<T> EntityManager::assign(Entity::Id id, Args&&... args) {
    const std::uint32_t typeIndex = componentTypeIndex<T>();
    const std::uint32_t index = id.index();
    if (!valid(id)) {
        reportDeadAssign(id);
        return {};
    }
    // Out of range for the 64-bit mask throws before anything is created.
    static_cast<void>(componentMasks_[index].test(typeIndex));
    Pool<T>& pool = poolFor<T>(typeIndex);
    try {
        pool.emplace(index, std::forward<Args>(args)...);
    } catch (...) {
        // A failed replacement may have destroyed the old value already.
        if (!pool.constructed(index)) {
            componentMasks_[index].reset(typeIndex);
        }
        throw;
    }
    componentMasks_[index].set(typeIndex);
    return ComponentHandle<T>(this, index, id.version());
}

template <typename T>
void EntityManager::remove(Entity::Id id) {
    const std::uint32_t typeIndex = componentTypeIndex<T>();
    if (!has<T>(id)) {
        return;
    }
    componentMasks_[id.index()].reset(typeIndex);
    componentPools_[typeIndex]->destroy(id.index());
}

template <typename T>
bool EntityManager::has(Entity::Id id) const {
    const std::uint32_t typeIndex = componentTypeIndex<T>();
    return typeIndex < componentPools_.size() && componentPools_[typeIndex] &&
           id.index() < componentMasks_.size() && componentMasks_[id.index()].test(typeIndex);
}

template <typename T>
ComponentHandle<T> EntityManager::component(Entity::Id id) {
    if (!has<T>(id)) {
        return {};
    }
    return ComponentHandle<T>(this, id.index(), id.version());
}

template <typename T>
const EntityManager::Pool<T>* EntityManager::componentPool() const {
    const std::uint32_t typeIndex = componentTypeIndex<T>();
    if (typeIndex >= componentPools_.size()) {
        return nullptr;
    }
    return static_cast<const Pool<T>*>(componentPools_[typeIndex].get());
}

template <typename... T>
EntityManager::View EntityManager::query(ComponentHandle<T>&... handles) {
    ComponentMask required;
    (required.set(componentTypeIndex<T>()), ...);
    View view(this, required, View::MaskOnly());
    (view.bind(handles), ...);
    return view;
}

inline bool EntityManager::View::matches(std::uint32_t index) const {
    const ComponentMask& mask = manager_->componentMasks_[index];
    if ((mask & required_) != required_) {
        return false;
    }
    const Entity::Id id(index, manager_->entityVersions_[index]);
    for (const Predicate& predicate : predicates_) {
        if (!predicate(*manager_, id)) {
            return false;
        }
    }
    return true;
}

inline void EntityManager::View::Iterator::position() {
    while (index_ < end_ && !view_.matches(index_)) {
        ++index_;
    }
    if (index_ < end_ && !view_.unpackers_.empty()) {
        const Entity::Id id(index_, view_.manager_->entityVersions_[index_]);
        for (const auto& unpacker : view_.unpackers_) {
            unpacker->unpack(id);
        }
    }
}

inline EntityManager::View::Iterator EntityManager::View::begin() const {
    const auto end = static_cast<std::uint32_t>(manager_->componentMasks_.size());
    Iterator iterator(*this, 0, end);
    iterator.position();
    return iterator;
}

inline EntityManager::View::Iterator EntityManager::View::end() const {
    const auto end = static_cast<std::uint32_t>(manager_->componentMasks_.size());
    // Positioning does nothing at the end, so this one carries no predicates.
    return Iterator(View(manager_, ComponentMask(), MaskOnly()), end, end);
}

#pragma once
// The value types that name an entity. Kept free of the manager's definition
// so that components and messages can hold entities cheaply.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>

class EntityManager;

// One bit per component type index: bit f is set while the entity holds the
// component whose type index is f.
using ComponentMask = std::bitset<64>;

// A reference to an entity that may outlive it: the manager pointer plus the
// id, whose version tells a live entity from a later one on the same index.
class Entity {
  public:
    // 64 bits: the slot index in the low half, the version of that slot at
    // hand-out time in the high half. Versions start at 1, so the default
    // (all zero) id never names a live entity.
    class Id {
      public:
        constexpr Id() = default;
        constexpr explicit Id(std::uint64_t value) : value_(value) {}
        constexpr Id(std::uint32_t index, std::uint32_t version)
            : value_(static_cast<std::uint64_t>(version) << 32 | index) {}

        constexpr std::uint64_t value() const { return value_; }
        constexpr std::uint32_t index() const { return static_cast<std::uint32_t>(value_); }
        constexpr std::uint32_t version() const { return static_cast<std::uint32_t>(value_ >> 32); }

        friend constexpr bool operator==(Id a, Id b) { return a.value_ == b.value_; }
        friend constexpr bool operator!=(Id a, Id b) { return a.value_ != b.value_; }
        friend constexpr bool operator<(Id a, Id b) { return a.value_ < b.value_; }

      private:
        std::uint64_t value_ = 0;
    };

    // Refers to nothing.
    Entity() = default;
    Entity(EntityManager* manager, Id id) : manager_(manager), id_(id) {}

    // True while the entity this value was taken from is alive: the manager is
    // set and the slot still carries the id's version. Check it before acting on
    // an entity kept from an earlier moment (a message, a target, a carrier).
    bool valid() const;

    EntityManager* manager() const { return manager_; }
    Id id() const { return id_; }
    std::uint32_t index() const { return id_.index(); }
    std::uint32_t version() const { return id_.version(); }

    friend bool operator==(const Entity& a, const Entity& b) {
        return a.manager_ == b.manager_ && a.id_ == b.id_;
    }
    friend bool operator!=(const Entity& a, const Entity& b) { return !(a == b); }
    friend bool operator<(const Entity& a, const Entity& b) {
        return a.manager_ != b.manager_ ? std::less<EntityManager*>()(a.manager_, b.manager_) : a.id_ < b.id_;
    }

  private:
    EntityManager* manager_ = nullptr;
    Id id_;
};

namespace std {
template <>
struct hash<Entity::Id> {
    std::size_t operator()(Entity::Id id) const noexcept { return std::hash<std::uint64_t>()(id.value()); }
};

template <>
struct hash<Entity> {
    std::size_t operator()(const Entity& entity) const noexcept {
        return std::hash<std::uint64_t>()(entity.id().value()) ^
               std::hash<EntityManager*>()(entity.manager()) * 31;
    }
};
}  // namespace std

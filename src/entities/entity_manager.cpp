#include "entities/entity_manager.h"

#include "utils/log.h"

bool Entity::valid() const {
    return manager_ != nullptr && manager_->valid(id_);
}

EntityManager::~EntityManager() {
    // Pools destroy the components still alive.
    componentPools_.clear();
    componentMasks_.clear();
    entityVersions_.clear();
    freeList_.clear();
    indexCounter_ = 0;
}

Entity EntityManager::create() {
    if (!freeList_.empty()) {
        const std::uint32_t index = freeList_.front();
        freeList_.pop_front();
        return Entity(this, Entity::Id(index, entityVersions_[index]));
    }
    const std::uint32_t index = indexCounter_++;
    componentMasks_.emplace_back();
    entityVersions_.push_back(1);
    for (const std::unique_ptr<MemoryPool>& pool : componentPools_) {
        if (pool) {
            pool->expand(index + 1);
        }
    }
    return Entity(this, Entity::Id(index, 1));
}

void EntityManager::destroy(Entity::Id id) {
    if (!valid(id)) {
        LOG(debug) << "Ignoring destroy of entity [" << id.index() << " version " << id.version()
                   << "] that is not alive!";
        return;
    }
    const std::uint32_t index = id.index();
    ComponentMask& mask = componentMasks_[index];
    // Ascending type index, one step per component held.
    for (std::uint64_t bits = mask.to_ullong(); bits != 0; bits &= bits - 1) {
        componentPools_[__builtin_ctzll(bits)]->destroy(index);
    }
    mask.reset();
    std::uint32_t& version = entityVersions_[index];
    // Version 0 never names a live entity, even after the counter wraps.
    if (++version == 0) {
        version = 1;
    }
    freeList_.push_back(index);
}

void EntityManager::reportDeadAssign(Entity::Id id) {
    LOG(error) << "Cannot assign a component to entity [" << id.index() << " version " << id.version()
               << "] that is not alive!";
}

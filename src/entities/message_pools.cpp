#include "entities/message_pools.h"

MessagePools::~MessagePools() = default;

void MessagePools::clearAll() {
    for (const std::unique_ptr<MemoryPool>& pool : pools_) {
        if (pool) {
            pool->clear();
        }
    }
}

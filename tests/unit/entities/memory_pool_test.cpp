#include "entities/memory_pool.h"

#include <gtest/gtest.h>

#include <list>
#include <set>
#include <string>

#include "lifetime_counter.h"

namespace {

struct Forty {
    char bytes[40];
};
static_assert(sizeof(Forty) == 40);

struct Huge {
    char bytes[10000];
};

// Three kinds of object that point into themselves: a short string keeps its
// characters inline, a list and a set keep their header nodes inline.
struct Tangled {
    std::string name;
    std::list<int> list;
    std::set<int> set;
};

Tangled tangled(int k) {
    return Tangled{"n" + std::to_string(k), {k, k + 1, k + 2}, {k * 3, k * 3 + 1}};
}

void expectTangled(const Tangled& value, int k) {
    EXPECT_EQ(value.name, "n" + std::to_string(k));
    EXPECT_EQ(value.list, (std::list<int>{k, k + 1, k + 2}));
    EXPECT_EQ(value.set, (std::set<int>{k * 3, k * 3 + 1}));
}

}  // namespace

TEST(TypedMemoryPool, StartsWithOneChunkAndGrowsByTheFewestWholeChunksThatFit) {
    TypedMemoryPool<Forty> pool;
    EXPECT_EQ(pool.size(), 0u);
    EXPECT_EQ(pool.capacity(), 8192u);
    EXPECT_EQ(pool.elementSize(), 40u);
    EXPECT_EQ(pool.chunkSize(), 8192u);

    struct Step {
        std::uint32_t slots;
        std::uint32_t size;
        std::uint32_t capacity;
    };
    const Step steps[] = {
        {204, 204, 8192},     // 8160 bytes: still the first chunk
        {205, 205, 16384},    // 8200 bytes: one more chunk
        {100, 205, 16384},    // never shrinks
        {1000, 1000, 40960},  // 40000 bytes: three chunks at once
    };
    for (const Step& step : steps) {
        pool.expand(step.slots);
        EXPECT_EQ(pool.size(), step.size) << step.slots;
        EXPECT_EQ(pool.capacity(), step.capacity) << step.slots;
    }

    TypedMemoryPool<Huge, 1024> huge;
    EXPECT_EQ(huge.capacity(), 1024u);
    huge.expand(1);
    EXPECT_EQ(huge.capacity(), 10240u);
    EXPECT_FALSE(huge.constructed(0));
}

TEST(TypedMemoryPool, ObjectsThatPointIntoThemselvesKeepTheirContentsAcrossGrowth) {
    // Sparse, like a component pool: every third slot is live.
    TypedMemoryPool<Tangled, 1024> sparse;
    std::uint32_t growths = 0;
    for (int k = 0; k < 300; ++k) {
        const std::uint32_t before = sparse.capacity();
        sparse.expand(static_cast<std::uint32_t>(k) + 1);
        growths += sparse.capacity() != before;
        if (k % 3 == 0) {
            sparse.emplace(static_cast<std::uint32_t>(k), tangled(k));
        }
    }
    ASSERT_GT(growths, 5u);
    for (int k = 0; k < 300; ++k) {
        ASSERT_EQ(sparse.constructed(static_cast<std::uint32_t>(k)), k % 3 == 0) << k;
        if (k % 3 == 0) {
            expectTangled(sparse[static_cast<std::uint32_t>(k)], k);
        }
    }

    // Dense, like a message pool, with the default chunk.
    TypedMemoryPool<Tangled> dense;
    for (int k = 0; k < 1000; ++k) {
        dense.emplaceBack(tangled(k));
    }
    ASSERT_GT(dense.capacity(), 3 * 8192u);
    int k = 0;
    for (const Tangled& value : dense) {
        expectTangled(value, k++);
    }
    EXPECT_EQ(k, 1000);
}

TEST(TypedMemoryPool, AppendingACopyOfItsOwnElementWorksWhileTheBlockMoves) {
    TypedMemoryPool<std::string, 64> pool;  // two 32-byte strings per chunk
    pool.emplaceBack(std::string(100, 'x'));
    pool.emplaceBack(pool[0]);
    ASSERT_EQ(pool.capacity(), 64u);
    pool.emplaceBack(pool[1]);  // needs a new chunk: the argument lives in the old block
    EXPECT_EQ(pool.capacity(), 128u);
    ASSERT_EQ(pool.size(), 3u);
    for (const std::string& text : pool) {
        EXPECT_EQ(text, std::string(100, 'x'));
    }
}

TEST(TypedMemoryPool, RunsEveryDestructorOnceOnDestroyClearReplacementAndDestruction) {
    LifetimeCounts counts;
    {
        TypedMemoryPool<Counted> pool;
        pool.expand(4);
        for (std::uint32_t i = 0; i < 4; ++i) {
            pool.emplace(i, counts, "a value long enough for the heap " + std::to_string(i));
        }
        EXPECT_EQ(counts.alive(), 4);

        pool.destroy(1);
        pool.destroy(1);  // nothing lives there any more
        EXPECT_EQ(counts.alive(), 3);
        EXPECT_FALSE(pool.constructed(1));

        // Replacing a live object destroys it; the new value may be built from it.
        pool.emplace(2, pool[2]);
        EXPECT_EQ(counts.alive(), 3);
        EXPECT_EQ(pool[2].text, "a value long enough for the heap 2");
        pool.emplace(2, counts, "replaced");
        EXPECT_EQ(counts.alive(), 3);
        EXPECT_EQ(pool[2].text, "replaced");
    }
    EXPECT_EQ(counts.alive(), 0);

    TypedMemoryPool<Counted> messages;
    for (int k = 0; k < 3; ++k) {
        messages.emplaceBack(counts, "message");
    }
    messages.clear();
    EXPECT_EQ(counts.alive(), 0);
    EXPECT_EQ(messages.size(), 0u);
    EXPECT_EQ(messages.capacity(), 8192u);
    EXPECT_FALSE(messages.constructed(0));
}

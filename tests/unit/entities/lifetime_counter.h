#pragma once
// A value that counts its constructions and destructions, to check that
// pools and the entity store run every destructor exactly once.
#include <string>

struct LifetimeCounts {
    int constructed = 0;
    int destroyed = 0;
    int alive() const { return constructed - destroyed; }
};

struct Counted {
    Counted(LifetimeCounts& counts, std::string text) : counts(&counts), text(std::move(text)) {
        ++counts.constructed;
    }
    Counted(const Counted& other) : counts(other.counts), text(other.text) { ++counts->constructed; }
    Counted(Counted&& other) noexcept : counts(other.counts), text(std::move(other.text)) {
        ++counts->constructed;
    }
    Counted& operator=(const Counted&) = delete;
    ~Counted() { ++counts->destroyed; }

    LifetimeCounts* counts;
    // Long enough to live on the heap, so a missed destructor leaks.
    std::string text;
};

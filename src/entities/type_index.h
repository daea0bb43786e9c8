#pragma once
// Small dense numbers for types, handed out on first use. Each family
// (components, messages, systems) counts on its own from 0, so the numbers
// can index flat tables and component numbers fit a ComponentMask.
#include <cstdint>

template <typename Family>
class TypeIndex {
  public:
    // The number of T within this family: assigned the first time it is asked
    // for, fixed for the rest of the run.
    template <typename T>
    static std::uint32_t of() {
        static const std::uint32_t index = next()++;
        return index;
    }

  private:
    static std::uint32_t& next() {
        static std::uint32_t counter = 0;
        return counter;
    }
};

// Tags of the families.
struct ComponentFamily;
struct MessageFamily;

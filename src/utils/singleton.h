#pragma once
// A process-wide object created by its default constructor on first use and
// kept until the process ends.
#include "utils/non_copyable.h"

template <typename T>
class Singleton : private NonCopyable {
public:
    static T& instance() {
        static T* object = new T();  // never destroyed: registries outlive every user
        return *object;
    }
};

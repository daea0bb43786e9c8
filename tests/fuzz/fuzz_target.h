#pragma once
// One fuzz entry per loader. FLAGSTORM_FUZZ_TARGET(name) defines the entry
// function and registers it under name; each libFuzzer binary calls the
// entry of its name (libfuzzer_main.cpp), and the regression replay (an
// ordinary test binary) links every entry and calls them by name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {
using Entry = int (*)(const std::uint8_t* data, std::size_t size);

struct Registration {
    Registration(const char* name, Entry entry);
};

// The registered entry of that name, or nullptr.
Entry find(const std::string& name);

// Turns Boost.Log off: malformed inputs log on nearly every call.
void quietLogging();

// A scratch file of this process (under /tmp, named after the process id
// and tag) holding the input, for loaders that read from a path.
std::string writeScratch(const std::string& tag, const std::uint8_t* data, std::size_t size);
}  // namespace fuzz

#define FLAGSTORM_FUZZ_TARGET(name)                                               \
    static int fuzz_##name(const std::uint8_t* data, std::size_t size);           \
    static const fuzz::Registration fuzzRegistration_##name(#name, &fuzz_##name); \
    static int fuzz_##name(const std::uint8_t* data, std::size_t size)

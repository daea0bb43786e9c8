#include <unistd.h>

#include <boost/log/core.hpp>
#include <fstream>
#include <map>

#include "fuzz/fuzz_target.h"

namespace fuzz {
namespace {
std::map<std::string, Entry>& registry() {
    static std::map<std::string, Entry> entries;
    return entries;
}
}  // namespace

Registration::Registration(const char* name, Entry entry) {
    registry()[name] = entry;
}

Entry find(const std::string& name) {
    const auto it = registry().find(name);
    return it == registry().end() ? nullptr : it->second;
}

void quietLogging() {
    static const bool done = [] {
        boost::log::core::get()->set_logging_enabled(false);
        return true;
    }();
    (void)done;
}

std::string writeScratch(const std::string& tag, const std::uint8_t* data, std::size_t size) {
    const std::string path = "/tmp/flagstorm-fuzz-" + std::to_string(getpid()) + "-" + tag;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}
}  // namespace fuzz

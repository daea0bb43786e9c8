#include "utils/profiler.h"

#include <boost/chrono.hpp>

#include <algorithm>
#include <limits>

#include "utils/log.h"

namespace {
int64_t steadyNanoseconds() {
    return boost::chrono::duration_cast<boost::chrono::nanoseconds>(
               boost::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Taken during static initialisation, before main runs.
const int64_t epoch = steadyNanoseconds();
}  // namespace

Profiler::Section::Section()
    : minimum(std::numeric_limits<double>::max()), maximum(std::numeric_limits<double>::min()) {}

Profiler& Profiler::instance() {
    static Profiler profiler;
    return profiler;
}

Profiler::Profiler() : sections(8) { sections.max_load_factor(1.0f); }

int64_t Profiler::nowMicroseconds() { return (steadyNanoseconds() - epoch) / 1000; }

Profiler::Section& Profiler::find(const std::string& name) {
    auto it = sections.find(name);
    if (it == sections.end()) {
        it = sections.emplace(name, Section()).first;
        firstUse.push_back(name);
    }
    return it->second;
}

void Profiler::begin(const std::string& name) {
    const int64_t now = nowMicroseconds();
    find(name).start = now;
}

void Profiler::end(const std::string& name) {
    Section& section = find(name);
    const double elapsed = static_cast<double>(nowMicroseconds() - section.start) / 1000000.0;
    section.mean = (section.mean * section.count + elapsed) / (section.count + 1.0);
    section.count += 1.0;
    section.minimum = std::min(section.minimum, elapsed);
    section.maximum = std::max(section.maximum, elapsed);
}

void Profiler::report() const {
    LOG(info) << "----------------------------";
    LOG(info) << "Profiling results: ";
    for (const std::string& name : firstUse) {
        const Section& section = sections.at(name);
        LOG(info) << "--" << name << "--";
        LOG(info) << "Minimum frame duration: " << section.minimum;
        LOG(info) << "Average frame duration: " << section.mean;
        LOG(info) << "Maximum frame duration: " << section.maximum;
    }
    LOG(info) << "----------------------------";
}

void Profiler::reset() {
    sections.clear();
    firstUse.clear();
}

const Profiler::Section* Profiler::section(const std::string& name) const {
    const auto it = sections.find(name);
    return it == sections.end() ? nullptr : &it->second;
}

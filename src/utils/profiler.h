#pragma once
// Timing of named code sections. The game brackets each system's update with
// a section named after it; the frame statistics report and reset it every
// 1000 frames.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class Profiler {
public:
    struct Section {
        int64_t start = 0;  // whole microseconds since the epoch
        double minimum;     // seconds
        double maximum;
        double mean = 0.0;
        double count = 0.0;
        Section();
    };

    static Profiler& instance();

    void begin(const std::string& name);
    void end(const std::string& name);
    // Logs every section in the order its name was first used.
    void report() const;
    void reset();

    // Statistics of one section, or nullptr when the name was not used since
    // the last reset.
    const Section* section(const std::string& name) const;

    // Microseconds since the process epoch, truncated.
    static int64_t nowMicroseconds();

private:
    Profiler();
    Section& find(const std::string& name);

    std::unordered_map<std::string, Section> sections;
    std::vector<std::string> firstUse;
};

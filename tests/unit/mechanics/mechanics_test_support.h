#pragma once
// Fixtures for the mechanics tests: a log recorder, a scratch directory and
// writers for collision mesh files.
#include <array>
#include <boost/filesystem.hpp>
#include <boost/log/core.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/trivial.hpp>
#include <boost/make_shared.hpp>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <glm/vec3.hpp>
#include <string>
#include <vector>

namespace mechanics_test {

struct LogRecord {
    boost::log::trivial::severity_level severity;
    std::string message;
};

// Records every log record while alive, in place of the console output.
class LogRecorder {
  public:
    LogRecorder() : backend(boost::make_shared<Backend>()), sink(boost::make_shared<Sink>(backend)) {
        boost::log::core::get()->add_sink(sink);
    }
    ~LogRecorder() { boost::log::core::get()->remove_sink(sink); }

    const std::vector<LogRecord>& records() const { return backend->records; }

    // Number of records of severity whose text contains fragment.
    int count(boost::log::trivial::severity_level severity, const std::string& fragment) const {
        int found = 0;
        for (const LogRecord& record : backend->records) {
            if (record.severity == severity && record.message.find(fragment) != std::string::npos) {
                ++found;
            }
        }
        return found;
    }

    int errors() const {
        int found = 0;
        for (const LogRecord& record : backend->records) {
            found += record.severity >= boost::log::trivial::error;
        }
        return found;
    }

  private:
    struct Backend : boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding> {
        void consume(const boost::log::record_view& record) {
            const auto severity =
                boost::log::extract<boost::log::trivial::severity_level>("Severity", record).get();
            const auto message = boost::log::extract<std::string>("Message", record);
            records.push_back({severity, message ? *message : std::string()});
        }
        std::vector<LogRecord> records;
    };
    using Sink = boost::log::sinks::synchronous_sink<Backend>;

    boost::shared_ptr<Backend> backend;
    boost::shared_ptr<Sink> sink;
};

// A fresh directory below the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDirectory {
  public:
    ScratchDirectory()
        : root(boost::filesystem::temp_directory_path() /
               boost::filesystem::unique_path("flagstorm-%%%%-%%%%")) {
        boost::filesystem::create_directories(root);
    }
    ~ScratchDirectory() {
        boost::system::error_code ignored;
        boost::filesystem::remove_all(root, ignored);
    }

    // The path of relative below the root, as text with "/" separators.
    std::string path(const std::string& relative) const { return root.string() + "/" + relative; }

    // Writes bytes to relative, creating the directories on the way.
    std::string write(const std::string& relative, const std::string& bytes) const {
        const std::string full = path(relative);
        boost::filesystem::create_directories(boost::filesystem::path(full).parent_path());
        std::ofstream out(full, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return full;
    }

  private:
    boost::filesystem::path root;
};

// Builds the bytes of a collision mesh file: little-endian u32 counts, f32
// coordinates as the file stores them (z up) and indices counted from 1.
class MeshBytes {
  public:
    MeshBytes& u32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
        }
        return *this;
    }
    MeshBytes& f32(float value) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return u32(bits);
    }
    MeshBytes& vertices(const std::vector<glm::vec3>& points) {
        u32(static_cast<std::uint32_t>(points.size()));
        for (const glm::vec3& p : points) {
            f32(p.x).f32(p.y).f32(p.z);
        }
        return *this;
    }
    MeshBytes& triangles(const std::vector<std::array<std::uint32_t, 3>>& oneBased) {
        u32(static_cast<std::uint32_t>(oneBased.size()));
        for (const auto& t : oneBased) {
            u32(t[0]).u32(t[1]).u32(t[2]);
        }
        return *this;
    }
    const std::string& str() const { return bytes; }

  private:
    std::string bytes;
};

// A whole mesh file's bytes.
inline std::string meshFile(const std::vector<glm::vec3>& points,
                            const std::vector<std::array<std::uint32_t, 3>>& oneBased) {
    return MeshBytes().vertices(points).triangles(oneBased).str();
}

// The unit cube (0,0,0)-(1,1,1) in file axes, eight corners in the order
// x + 2y + 4z. Its twelve outward triangles (1-based) come face by face as
// -x, +x, -z, +z, -y, +y, which in game axes (file z up) is x, y, z.
inline std::vector<glm::vec3> cubeCorners() {
    std::vector<glm::vec3> corners;
    for (int i = 0; i < 8; ++i) {
        corners.emplace_back(i & 1 ? 1.0f : 0.0f, i & 2 ? 1.0f : 0.0f, i & 4 ? 1.0f : 0.0f);
    }
    return corners;
}

inline std::vector<std::array<std::uint32_t, 3>> cubeTriangles() {
    return {
        {1, 5, 7}, {1, 7, 3},  // x = 0
        {2, 4, 8}, {2, 8, 6},  // x = 1
        {1, 3, 4}, {1, 4, 2},  // z = 0
        {5, 6, 8}, {5, 8, 7},  // z = 1
        {1, 2, 6}, {1, 6, 5},  // y = 0
        {3, 7, 8}, {3, 8, 4},  // y = 1
    };
}

}  // namespace mechanics_test

#include "support/scratch_directory.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {
// Process id, a counter and a random number keep parallel test processes and
// repeated runs apart.
fs::path uniqueRoot() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("flagstorm-test-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(counter++) + "-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            return candidate;
        }
    }
    throw std::runtime_error("Could not create a scratch directory");
}
}  // namespace

ScratchDirectory::ScratchDirectory() : rootPath(uniqueRoot()) {}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(rootPath, ignored);
}

std::string ScratchDirectory::path(const std::string& relative) const {
    std::string text = rootPath.string() + "/";
    return text + relative;
}

std::string ScratchDirectory::write(const std::string& relative, const std::string& text) const {
    const fs::path file = rootPath / relative;
    fs::create_directories(file.parent_path());
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream << text;
    if (!stream) {
        throw std::runtime_error("Could not write " + file.string());
    }
    return file.string();
}

std::string ScratchDirectory::makeDirectory(const std::string& relative) const {
    const fs::path directory = rootPath / relative;
    fs::create_directories(directory);
    return directory.string();
}

WorkingDirectory::WorkingDirectory(const fs::path& directory) : previous(fs::current_path()) {
    fs::current_path(directory);
}

WorkingDirectory::~WorkingDirectory() {
    std::error_code ignored;
    fs::current_path(previous, ignored);
}

#pragma once
// A scratch directory under the system's temporary directory, removed with
// its contents when the object goes, for tests that load files.
#include <boost/filesystem.hpp>
#include <fstream>
#include <string>

class GraphicsScratch {
  public:
    GraphicsScratch()
        : root(boost::filesystem::temp_directory_path() /
               boost::filesystem::unique_path("flagstorm-gfx-%%%%-%%%%")) {
        boost::filesystem::create_directories(root);
    }
    ~GraphicsScratch() {
        boost::system::error_code ignored;
        boost::filesystem::remove_all(root, ignored);
    }
    GraphicsScratch(const GraphicsScratch&) = delete;
    GraphicsScratch& operator=(const GraphicsScratch&) = delete;

    // Writes text to relative (creating directories) and returns its path.
    std::string write(const std::string& relative, const std::string& text) const {
        const boost::filesystem::path file = root / relative;
        boost::filesystem::create_directories(file.parent_path());
        std::ofstream(file.string(), std::ios::binary) << text;
        return file.string();
    }
    std::string path(const std::string& relative) const { return (root / relative).string(); }
    // The directory with a trailing separator, as the registries walk it.
    std::string directory() const { return root.string() + "/"; }

  private:
    boost::filesystem::path root;
};

#include <boost/filesystem.hpp>

#include <cstdio>

#include "bake.h"

namespace fs = boost::filesystem;

// Open Sans Bold from Debian's fonts-open-sans package stands in the path the
// game reads.
bool bakeFonts(const std::string& root) {
    const fs::path source("/usr/share/fonts/truetype/open-sans/OpenSans-Bold.ttf");
    const fs::path target = fs::path(root) / "resources/fonts/DroidSans-Bold.ttf";
    boost::system::error_code error;
    fs::create_directories(target.parent_path(), error);
    if (fs::exists(target, error) && fs::file_size(target, error) == fs::file_size(source, error)) {
        return true;
    }
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
    if (error) {
        std::fprintf(stderr, "cannot copy the font %s: %s\n", source.string().c_str(), error.message().c_str());
        return false;
    }
    return true;
}

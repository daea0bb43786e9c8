// Feeds every file of the given directories to one fuzz entry:
//   flagstorm_fuzz_replay TARGET DIRECTORY...
// Runs in every build, so each input that once crashed a loader stays a
// test case. Exits non-zero for an unknown target or a missing directory.
#include <algorithm>
#include <boost/filesystem.hpp>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_target.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: " << argv[0] << " TARGET DIRECTORY...\n";
        return 2;
    }
    const fuzz::Entry entry = fuzz::find(argv[1]);
    if (entry == nullptr) {
        std::cerr << "no fuzz target named \"" << argv[1] << "\"\n";
        return 2;
    }
    std::size_t inputs = 0;
    for (int i = 2; i < argc; ++i) {
        namespace fs = boost::filesystem;
        if (!fs::is_directory(argv[i])) {
            std::cerr << "not a directory: \"" << argv[i] << "\"\n";
            return 2;
        }
        std::vector<fs::path> files;
        for (const fs::directory_entry& file : fs::recursive_directory_iterator(argv[i])) {
            if (fs::is_regular_file(file.path())) {
                files.push_back(file.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::ifstream in(file.string(), std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                                  std::istreambuf_iterator<char>());
            std::cout << file.string() << " (" << bytes.size() << " bytes)" << std::endl;
            entry(bytes.data(), bytes.size());
            ++inputs;
        }
    }
    std::cout << inputs << " inputs replayed through " << argv[1] << std::endl;
    return 0;
}

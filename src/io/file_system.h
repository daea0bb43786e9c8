#pragma once
// Thin file-system layer: path tests that report operating-system errors to
// the log instead of raising them, directory listing and whole-file reading.
#include <fstream>
#include <list>
#include <stdexcept>
#include <string>
#include <vector>

// Raised by FileReader for a path that does not exist.
class FileNotFoundError : public std::runtime_error {
public:
    FileNotFoundError() : std::runtime_error("File doesn't exist") {}
};

namespace FileSystem {
// What a path names, from one status query of the operating system.
enum class PathKind {
    missing,  // nothing there, or a symbolic link to nothing
    directory,
    regularFile,
    other,  // socket, pipe, device
    error,  // the status query failed; the two error records are logged
};

// One status query; an operating-system error logs "File error: " with the
// path, then the system's message, and gives PathKind::error.
PathKind kindOf(const std::string& path);

bool exists(const std::string& path);
bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);
bool fileExists(const std::string& path);
// Appends the path of every entry of directory (not recursing) to list; a
// missing directory gives an error record and appends nothing.
void listDirectory(const std::string& path, std::list<std::string>& list);
// The directory part of a path, with a trailing separator when not empty
// ("data/level/test.lvl" -> "data/level/").
std::string directoryOf(const std::string& path);
}  // namespace FileSystem

class FileReader {
public:
    // Throws FileNotFoundError when nothing exists at path. A path that exists
    // but cannot be opened leaves the reader failed; reads then yield nothing.
    explicit FileReader(const std::string& path);

    // Replaces text with every byte of the file.
    void readAll(std::string& text);
    void readAll(std::vector<unsigned char>& bytes);
    bool good() const { return stream.good(); }

private:
    std::ifstream stream;
};

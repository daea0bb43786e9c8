#include "io/file_system.h"

#include <boost/filesystem.hpp>

#include "utils/log.h"

namespace fs = boost::filesystem;

namespace FileSystem {
PathKind kindOf(const std::string& path) {
    boost::system::error_code error;
    const fs::file_status status = fs::status(path, error);
    switch (status.type()) {
        case fs::status_error:
            LOG(error) << "File error: \"" << path << "\"!";
            LOG(error) << error.message();
            return PathKind::error;
        case fs::file_not_found:
            return PathKind::missing;
        case fs::directory_file:
            return PathKind::directory;
        case fs::regular_file:
            return PathKind::regularFile;
        default:
            return PathKind::other;
    }
}

bool exists(const std::string& path) {
    const PathKind kind = kindOf(path);
    return kind != PathKind::missing && kind != PathKind::error;
}

bool isDirectory(const std::string& path) { return kindOf(path) == PathKind::directory; }

bool isRegularFile(const std::string& path) { return kindOf(path) == PathKind::regularFile; }

bool fileExists(const std::string& path) { return exists(path) && isRegularFile(path); }

void listDirectory(const std::string& path, std::list<std::string>& list) {
    if (kindOf(path) != PathKind::directory) {
        LOG(error) << "Directory does not exist: \"" << path << "\"!";
        return;
    }
    boost::system::error_code error;
    fs::directory_iterator it(path, error);
    if (error) {
        LOG(error) << "File error: \"" << path << "\"!";
        LOG(error) << error.message();
        return;
    }
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const std::string name = it->path().filename().string();
        std::string joined = path;
        if (!joined.empty() && joined.back() != '/') {
            joined += fs::path::preferred_separator;
        }
        list.push_back(joined + name);
    }
}

std::string directoryOf(const std::string& path) {
    const std::string parent = fs::path(path).parent_path().string();
    return parent.empty() ? std::string() : parent + "/";
}
}  // namespace FileSystem

FileReader::FileReader(const std::string& path) {
    const FileSystem::PathKind kind = FileSystem::kindOf(path);
    if (kind == FileSystem::PathKind::missing || kind == FileSystem::PathKind::error) {
        throw FileNotFoundError();
    }
    // A directory opens as a stream but its "length" is a huge seek offset;
    // it is a path that exists and cannot be read as a file.
    if (kind == FileSystem::PathKind::directory) {
        stream.setstate(std::ios::failbit);
        return;
    }
    stream.open(path, std::ios::in | std::ios::binary);
}

void FileReader::readAll(std::string& text) {
    text.clear();
    if (!stream.is_open()) {
        return;
    }
    stream.seekg(0, std::ios::end);
    const std::streamoff length = stream.tellg();
    if (length <= 0) {
        stream.clear();
        return;
    }
    text.reserve(static_cast<std::size_t>(length));
    stream.seekg(0, std::ios::beg);
    text.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void FileReader::readAll(std::vector<unsigned char>& bytes) {
    std::string text;
    readAll(text);
    bytes.assign(text.begin(), text.end());
}

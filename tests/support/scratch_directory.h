#pragma once
// A fresh directory under the system's temporary directory for one test,
// removed with everything in it when the object goes away.
//
//   ScratchDirectory scratch;
//   scratch.write("data/sub/b.dat", "b=2");
//   manager.loadDirectory(scratch.path("data/"), ".dat", true);
#include <filesystem>
#include <string>

class ScratchDirectory {
  public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // The scratch root joined with relative, as text ("" gives the root with
    // a trailing "/"); a trailing "/" in relative is kept.
    std::string path(const std::string& relative = std::string()) const;

    // Writes text to relative, creating the directories on the way; returns
    // the full path.
    std::string write(const std::string& relative, const std::string& text) const;
    // Creates the directory relative and its parents; returns the full path.
    std::string makeDirectory(const std::string& relative) const;

    const std::filesystem::path& root() const { return rootPath; }

  private:
    std::filesystem::path rootPath;
};

// Makes directory the working directory until the object goes away.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const std::filesystem::path& directory);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

  private:
    std::filesystem::path previous;
};

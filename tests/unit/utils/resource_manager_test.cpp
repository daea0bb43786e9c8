#include "utils/resource_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iterator>
#include <list>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "support/log_capture.h"
#include "support/scratch_directory.h"

namespace {
namespace fs = std::filesystem;
using Severity = LogCapture::Severity;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

// Stores each file's contents under its path, reading it the way every real
// manager does, and remembers the order of the calls.
class RecordingManager : public ResourceManager<std::string> {
  public:
    void load(const std::string& path) override {
        loaded.push_back(path);
        FileReader reader(path);
        auto text = std::make_unique<std::string>();
        reader.readAll(*text);
        add(path, std::move(text));
    }

    std::vector<std::string> loaded;
};

class IntManager : public ResourceManager<int> {
  public:
    void load(const std::string&) override {}
};

// Counts live instances, to see which resources a registry releases.
struct Tracked {
    explicit Tracked(int value) : value(value) { ++alive; }
    ~Tracked() { --alive; }
    int value;
    static int alive;
};
int Tracked::alive = 0;

class TrackedManager : public ResourceManager<Tracked> {
  public:
    void load(const std::string&) override {}
};

TEST(ResourceManager, RecursiveWalkLoadsEveryLevelAndAFlatWalkOnlyTheTop) {
    ScratchDirectory scratch;
    scratch.write("data/a.dat", "");
    scratch.write("data/sub/b.dat", "");
    scratch.write("data/sub/deeper/c.dat", "");
    const std::string root = scratch.path("data/");

    LogCapture capture;
    RecordingManager recursive;
    recursive.loadDirectory(root, ".dat", true);
    EXPECT_THAT(recursive.loaded,
                UnorderedElementsAre(root + "a.dat", root + "sub/b.dat", root + "sub/deeper/c.dat"));

    RecordingManager flat;
    flat.loadDirectory(root, ".dat", false);
    EXPECT_THAT(flat.loaded, ElementsAre(root + "a.dat"));
    EXPECT_TRUE(capture.empty());
}

TEST(ResourceManager, ExtensionMustEndThePathWithTheSameCase) {
    ScratchDirectory scratch;
    const std::string root = scratch.path("data/");
    const std::vector<std::string> files = {"x.dat", "x.DAT", "x.dat.bak", "xdat", "d.dat/inner.txt"};
    for (const std::string& file : files) {
        scratch.write("data/" + file, "");
    }

    RecordingManager dat;
    dat.loadDirectory(root, ".dat", false);
    EXPECT_THAT(dat.loaded, ElementsAre(root + "x.dat"));

    // The empty extension takes every regular file, whatever its name.
    RecordingManager every;
    every.loadDirectory(root, "", true);
    std::vector<std::string> expected;
    std::transform(files.begin(), files.end(), std::back_inserter(expected),
                   [&](const std::string& file) { return root + file; });
    EXPECT_THAT(every.loaded, UnorderedElementsAreArray(expected));
}

TEST(ResourceManager, MissingDirectoryLogsAndLoadsNothing) {
    ScratchDirectory scratch;
    WorkingDirectory inScratch(scratch.root());
    LogCapture capture;
    RecordingManager manager;
    manager.loadDirectory("missing/", ".dat", true);
    EXPECT_TRUE(manager.loaded.empty());
    EXPECT_THAT(capture.messages(), ElementsAre("Directory does not exist: \"missing/\"!"));
    EXPECT_EQ(capture.count(Severity::error, "Directory does not exist"), 1u);
}

TEST(ResourceManager, EntryWhoseStatusFailsLogsTheFileErrorPairOnceAndIsSkipped) {
    ScratchDirectory scratch;
    const std::string root = scratch.path("data/");
    scratch.write("data/a.dat", "a=1");
    const std::string loop = root + "loop.dat";
    fs::create_symlink(loop, loop);

    for (const bool recursive : {false, true}) {
        SCOPED_TRACE(recursive ? "recursive" : "flat");
        LogCapture capture;
        RecordingManager manager;
        manager.loadDirectory(root, ".dat", recursive);
        EXPECT_THAT(manager.loaded, ElementsAre(root + "a.dat"));
        EXPECT_THAT(capture.messages(Severity::error),
                    ElementsAre("File error: \"" + loop + "\"!", std::system_category().message(ELOOP)));
        EXPECT_EQ(capture.records().size(), 2u);
    }
}

// Deletes, while loading the first file, the file the walk meets next.
class DeletingManager : public RecordingManager {
  public:
    explicit DeletingManager(std::string directory) : directory(std::move(directory)) {}

    void load(const std::string& path) override {
        if (loaded.empty()) {
            // An unchanged directory lists in the same order as the walk saw it.
            std::list<std::string> entries;
            FileSystem::listDirectory(directory, entries);
            auto next = std::next(std::find(entries.begin(), entries.end(), path));
            victim = *next;
            fs::remove(victim);
        }
        RecordingManager::load(path);
    }

    std::string directory;
    std::string victim;
};

TEST(ResourceManager, FileDeletedAfterListingIsReportedAndTheWalkGoesOn) {
    ScratchDirectory scratch;
    const std::string root = scratch.path("data/");
    scratch.write("data/a.dat", "");
    scratch.write("data/b.dat", "");
    scratch.write("data/c.dat", "");

    LogCapture capture;
    DeletingManager manager(root);
    manager.loadDirectory(root, ".dat", false);
    ASSERT_FALSE(manager.victim.empty());
    ASSERT_EQ(manager.loaded.size(), 2u);
    EXPECT_EQ(std::count(manager.loaded.begin(), manager.loaded.end(), manager.victim), 0);
    EXPECT_THAT(capture.messages(Severity::error),
                ElementsAre("File vanished before it could be read: \"" + manager.victim + "\"!"));
}

// Deletes each file just before reading it: the file passed the walk's test
// and is gone when the reader opens it.
class SelfDeletingManager : public RecordingManager {
  public:
    void load(const std::string& path) override {
        if (path.find("gone") != std::string::npos) {
            fs::remove(path);
        }
        RecordingManager::load(path);
    }
};

TEST(ResourceManager, FileDeletedBeforeItsReaderOpensIsReportedAndTheWalkGoesOn) {
    ScratchDirectory scratch;
    const std::string root = scratch.path("data/");
    scratch.write("data/gone1.dat", "");
    scratch.write("data/kept.dat", "");
    scratch.write("data/gone2.dat", "");

    LogCapture capture;
    SelfDeletingManager manager;
    manager.loadDirectory(root, ".dat", false);
    EXPECT_EQ(manager.loaded.size(), 3u);
    EXPECT_TRUE(manager.contains(root + "kept.dat"));
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_THAT(capture.messages(Severity::error),
                UnorderedElementsAre("File vanished before it could be read: \"" + root + "gone1.dat\"!",
                                     "File vanished before it could be read: \"" + root + "gone2.dat\"!"));
}

TEST(ResourceManager, LinkToNothingIsReportedOnlyWhenItsNameMatches) {
    ScratchDirectory scratch;
    const std::string root = scratch.path("data/");
    scratch.write("data/a.dat", "");
    fs::create_symlink(root + "nowhere.dat", root + "dangling.dat");
    fs::create_symlink(root + "nowhere.png", root + "dangling.png");

    LogCapture capture;
    RecordingManager manager;
    manager.loadDirectory(root, ".dat", true);
    EXPECT_THAT(manager.loaded, ElementsAre(root + "a.dat"));
    EXPECT_THAT(capture.messages(),
                ElementsAre("File vanished before it could be read: \"" + root + "dangling.dat\"!"));
}

TEST(ResourceManager, AddKeepsTheFirstResourceAndReleasesTheSecond) {
    LogCapture capture;
    {
        TrackedManager manager;
        manager.add("Floor", std::make_unique<Tracked>(1));
        manager.add("Floor", std::make_unique<Tracked>(2));
        manager.add("Wall", std::make_unique<Tracked>(3));
        ASSERT_NE(manager.get("Floor"), nullptr);
        EXPECT_EQ(manager.get("Floor")->value, 1);
        EXPECT_EQ(manager.size(), 2u);
        EXPECT_EQ(Tracked::alive, 2);
    }
    // The destructor releases everything it stored.
    EXPECT_EQ(Tracked::alive, 0);
    EXPECT_TRUE(capture.empty());
}

TEST(ResourceManager, GetOfAnAbsentNameLogsOncePerCallAndYieldsNothing) {
    IntManager manager;
    manager.add("present", std::make_unique<int>(7));
    LogCapture capture;
    EXPECT_EQ(manager.get("x"), nullptr);
    EXPECT_EQ(manager.get("x"), nullptr);
    ASSERT_NE(manager.get("present"), nullptr);
    EXPECT_EQ(*manager.get("present"), 7);
    // find() probes quietly.
    EXPECT_EQ(manager.find("x"), nullptr);
    const std::string record = "No int under that name present: \"x\"!";
    EXPECT_THAT(capture.messages(), ElementsAre(record, record));
    EXPECT_EQ(capture.count(Severity::error, record), 2u);
}
}  // namespace

#include "io/file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <list>
#include <string>
#include <system_error>
#include <vector>

#include "support/log_capture.h"
#include "support/scratch_directory.h"

namespace {
namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

TEST(FileSystem, PathTestsTellFilesDirectoriesAndNothingApart) {
    ScratchDirectory scratch;
    const std::string file = scratch.write("file.dat", "a=1");
    const std::string directory = scratch.makeDirectory("directory");
    const std::string missing = scratch.path("missing");
    const std::string dangling = scratch.path("dangling");
    fs::create_symlink(scratch.path("nowhere"), dangling);
    const std::string linkToFile = scratch.path("link.dat");
    fs::create_symlink(file, linkToFile);

    LogCapture capture;
    struct Case {
        std::string path;
        bool exists, isDirectory, isRegularFile;
    };
    const Case cases[] = {
        {file, true, false, true},       {directory, true, true, false},  {missing, false, false, false},
        {dangling, false, false, false}, {linkToFile, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileSystem::exists(c.path), c.exists);
        EXPECT_EQ(FileSystem::isDirectory(c.path), c.isDirectory);
        EXPECT_EQ(FileSystem::isRegularFile(c.path), c.isRegularFile);
        EXPECT_EQ(FileSystem::fileExists(c.path), c.exists && c.isRegularFile);
    }
    EXPECT_TRUE(capture.empty());
}

TEST(FileSystem, StatusErrorLogsTheFileErrorPairAndAnswersFalse) {
    ScratchDirectory scratch;
    const std::string loop = scratch.path("loop");
    fs::create_symlink(loop, loop);
    const std::string systemMessage = std::system_category().message(ELOOP);

    for (bool (*test)(const std::string&) :
         {FileSystem::exists, FileSystem::isDirectory, FileSystem::isRegularFile}) {
        LogCapture capture;
        EXPECT_FALSE(test(loop));
        EXPECT_THAT(capture.messages(LogCapture::Severity::error),
                    ElementsAre("File error: \"" + loop + "\"!", systemMessage));
        EXPECT_EQ(capture.records().size(), 2u);
    }
    LogCapture capture;
    EXPECT_EQ(FileSystem::kindOf(loop), FileSystem::PathKind::error);
    EXPECT_EQ(capture.count(LogCapture::Severity::error, "File error: "), 1u);
}

TEST(FileSystem, ListDirectoryAppendsEveryEntryWithoutRecursing) {
    ScratchDirectory scratch;
    scratch.write("tree/a.dat", "");
    scratch.write("tree/.hidden", "");
    scratch.write("tree/sub/deep.dat", "");

    LogCapture capture;
    std::list<std::string> entries{"kept"};
    FileSystem::listDirectory(scratch.path("tree/"), entries);
    EXPECT_EQ(entries.front(), "kept");
    entries.pop_front();
    EXPECT_THAT(entries, UnorderedElementsAre(scratch.path("tree/a.dat"), scratch.path("tree/.hidden"),
                                              scratch.path("tree/sub")));

    // Without a trailing separator one is put between directory and name.
    std::list<std::string> joined;
    FileSystem::listDirectory(scratch.path("tree/sub"), joined);
    EXPECT_THAT(joined, ElementsAre(scratch.path("tree/sub/deep.dat")));

    std::list<std::string> empty;
    FileSystem::listDirectory(scratch.makeDirectory("nothing"), empty);
    EXPECT_TRUE(empty.empty());
    EXPECT_TRUE(capture.empty());
}

TEST(FileSystem, ListDirectoryOfAnythingButADirectoryLogsAndAppendsNothing) {
    ScratchDirectory scratch;
    const std::string file = scratch.write("file.dat", "a=1");
    const std::string missing = scratch.path("missing/");
    for (const std::string& path : {file, missing}) {
        SCOPED_TRACE(path);
        LogCapture capture;
        std::list<std::string> entries;
        FileSystem::listDirectory(path, entries);
        EXPECT_TRUE(entries.empty());
        EXPECT_THAT(capture.messages(LogCapture::Severity::error),
                    ElementsAre("Directory does not exist: \"" + path + "\"!"));
    }
}

TEST(FileReader, ReadsEveryByteOfTheFile) {
    ScratchDirectory scratch;
    const std::string bytes("line\r\nzero\0byte\xff\n", 17);
    const std::string file = scratch.write("bytes.bin", bytes);

    std::string text = "previous contents";
    FileReader(file).readAll(text);
    EXPECT_EQ(text, bytes);

    std::vector<unsigned char> raw{1, 2, 3};
    FileReader(file).readAll(raw);
    EXPECT_EQ(std::string(raw.begin(), raw.end()), bytes);

    text = "previous contents";
    FileReader(scratch.write("empty.bin", "")).readAll(text);
    EXPECT_EQ(text, "");
}

TEST(FileReader, MissingFileRaisesAndUnreadablePathYieldsNothing) {
    ScratchDirectory scratch;
    for (const std::string& path : {scratch.path("missing.dat"), scratch.path("dangling")}) {
        SCOPED_TRACE(path);
        if (path == scratch.path("dangling")) {
            fs::create_symlink(scratch.path("nowhere"), path);
        }
        try {
            FileReader reader(path);
            ADD_FAILURE() << "FileReader did not raise";
        } catch (const FileNotFoundError& error) {
            EXPECT_STREQ(error.what(), "File doesn't exist");
        }
    }
    // A directory exists but holds no bytes to read.
    std::string text = "previous contents";
    FileReader reader(scratch.makeDirectory("directory"));
    reader.readAll(text);
    EXPECT_EQ(text, "");
}

TEST(FileSystem, DirectoryOfKeepsATrailingSeparator) {
    EXPECT_EQ(FileSystem::directoryOf("data/level/test.lvl"), "data/level/");
    EXPECT_EQ(FileSystem::directoryOf("/abs/x.mshd"), "/abs/");
    EXPECT_EQ(FileSystem::directoryOf("test.lvl"), "");
}
}  // namespace

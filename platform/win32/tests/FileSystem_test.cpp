#include "FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FaultInjection.h"
#include "Win32Test.h"

namespace kervale::platform {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

class FileSystemTest : public ::testing::Test {
  protected:
    std::string path(const char* relative) const { return folder.file(relative); }

    TempFolder folder;
};

std::string readAll(File& file) {
    std::string bytes(static_cast<std::size_t>(file.size()), '\0');
    const std::int64_t n = file.readAt(0, bytes.data(), bytes.size());
    return n < 0 ? "<failed>" : bytes.substr(0, static_cast<std::size_t>(n));
}

TEST_F(FileSystemTest, BytesAreStoredExactlyAsGiven) {
    const std::string bytes("line\r\nbare\nend\0\xff\x1a", 16);
    File file;
    ASSERT_TRUE(file.open(path("LOG").c_str(), OpenMode::truncate));
    ASSERT_TRUE(file.writeAt(0, bytes.data(), bytes.size()));
    EXPECT_EQ(file.size(), 16);
    EXPECT_EQ(readAll(file), bytes);
    file.close();
    EXPECT_EQ(readFile(path("LOG")), bytes);
}

TEST_F(FileSystemTest, ReadsAndWritesGoWhereTheyAreToldTo) {
    File file;
    ASSERT_TRUE(file.open(path("LOG").c_str(), OpenMode::truncate));
    ASSERT_TRUE(file.writeAt(20, "xyz", 3));  // past the end: the gap reads as zeros
    EXPECT_EQ(file.size(), 23);
    ASSERT_TRUE(file.writeAt(2, "ab", 2));
    EXPECT_EQ(readAll(file), std::string("\0\0ab", 4) + std::string(16, '\0') + "xyz");

    char buffer[10] = {};
    EXPECT_EQ(file.readAt(21, buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(buffer, 2), "yz");
    EXPECT_EQ(file.readAt(23, buffer, sizeof buffer), 0);
    EXPECT_EQ(file.readAt(1000, buffer, sizeof buffer), 0);
}

// What changes the disk is counted, before it is made; reading and opening what exists are not.
TEST_F(FileSystemTest, ChangesAreCountedAndReadsAreNot) {
    const std::uint64_t before = fileChanges();
    File file;
    ASSERT_TRUE(file.open(path("LOG").c_str(), OpenMode::truncate));
    ASSERT_TRUE(file.writeAt(0, "x", 1));
    EXPECT_EQ(fileChanges(), before + 2);
    char byte = 0;
    EXPECT_EQ(file.readAt(0, &byte, 1), 1);
    EXPECT_EQ(file.size(), 1);
    ASSERT_TRUE(file.open(path("LOG").c_str(), OpenMode::existing));
    file.close();
    EXPECT_TRUE(directoryExists(folder.path().c_str()));
    EXPECT_EQ(fileChanges(), before + 2);
    EXPECT_TRUE(renameFile(path("LOG").c_str(), path("OLD").c_str()));
    EXPECT_TRUE(removeFile(path("OLD").c_str()));
    EXPECT_TRUE(createDirectory(path("SUB").c_str()));
    EXPECT_EQ(fileChanges(), before + 5);
}

TEST_F(FileSystemTest, OpenModes) {
    File file;
    EXPECT_FALSE(file.open(path("LOG").c_str(), OpenMode::existing));
    EXPECT_FALSE(file.valid());
    EXPECT_EQ(file.size(), -1);

    ASSERT_TRUE(writeFile(path("LOG"), "kept"));
    ASSERT_TRUE(file.open(path("LOG").c_str(), OpenMode::existing));
    EXPECT_EQ(readAll(file), "kept");
    ASSERT_TRUE(file.open(path("LOG").c_str(), OpenMode::truncate));
    EXPECT_EQ(file.size(), 0);

    // Others may read the file while it is open.
    ASSERT_TRUE(file.writeAt(0, "seen", 4));
    EXPECT_EQ(readFile(path("LOG")), "seen");
}

TEST_F(FileSystemTest, DirectoriesAreCreatedWithTheirParents) {
    const std::string deep = path("VANTEX/a/b");
    EXPECT_FALSE(directoryExists(deep.c_str()));
    EXPECT_TRUE(createDirectory(deep.c_str()));
    EXPECT_TRUE(directoryExists(deep.c_str()));
    EXPECT_TRUE(directoryExists(path("VANTEX").c_str()));
    EXPECT_TRUE(createDirectory((deep + "/").c_str()));  // existing, trailing separator

    ASSERT_TRUE(writeFile(path("FILE"), "x"));
    EXPECT_FALSE(directoryExists(path("FILE").c_str()));
    EXPECT_FALSE(createDirectory(path("FILE/sub").c_str()));
}

TEST_F(FileSystemTest, RenameAndRemove) {
    ASSERT_TRUE(writeFile(path("VANTEX.LOG"), "current"));
    ASSERT_TRUE(writeFile(path("VANTEX.ANT"), "previous"));
    EXPECT_FALSE(renameFile(path("VANTEX.LOG").c_str(), path("VANTEX.ANT").c_str()));
    EXPECT_TRUE(removeFile(path("VANTEX.ANT").c_str()));
    EXPECT_FALSE(removeFile(path("VANTEX.ANT").c_str()));
    EXPECT_TRUE(renameFile(path("VANTEX.LOG").c_str(), path("VANTEX.ANT").c_str()));
    EXPECT_EQ(readFile(path("VANTEX.ANT")), "current");
    EXPECT_FALSE(std::filesystem::exists(path("VANTEX.LOG")));
}

TEST_F(FileSystemTest, PathsAreUsedAsTheyAreOnExistingDrives) {
    char out[64];
    EXPECT_TRUE(hostPath("C:/VANTEX/VANTEX.LOG", out, sizeof out));
    EXPECT_STREQ(out, "C:/VANTEX/VANTEX.LOG");
    EXPECT_TRUE(hostPath("/VANTEX.LOG", out, sizeof out));
    EXPECT_FALSE(hostPath("C:/VANTEX/VANTEX.LOG", out, 10));

    // Wine's prefix has drives C and Z; a drive character that is no letter never exists.
    for (const char* missing : {"Q:/VANTEX", "1:/VANTEX", "\x01:/VANTEX"}) {
        SCOPED_TRACE(missing);
        EXPECT_FALSE(hostPath(missing, out, sizeof out));
        EXPECT_FALSE(createDirectory(missing));
        File file;
        EXPECT_FALSE(file.open((std::string(missing) + "/VANTEX.LOG").c_str(), OpenMode::truncate));
    }
}

TEST_F(FileSystemTest, InjectedFaultsFailOneOperationEach) {
    File file;
    ASSERT_TRUE(file.open(path("LOG").c_str(), OpenMode::truncate));
    ASSERT_TRUE(writeFile(path("FROM"), "x"));

    injectFault(Fault::fileOpen);
    EXPECT_FALSE(file.open(path("LOG").c_str(), OpenMode::existing));
    EXPECT_TRUE(file.open(path("LOG").c_str(), OpenMode::existing));

    injectFault(Fault::fileWrite);
    EXPECT_FALSE(file.writeAt(0, "x", 1));
    EXPECT_TRUE(file.writeAt(0, "x", 1));

    injectFault(Fault::fileRename);
    EXPECT_FALSE(renameFile(path("FROM").c_str(), path("TO").c_str()));
    EXPECT_TRUE(renameFile(path("FROM").c_str(), path("TO").c_str()));

    injectFault(Fault::directoryCreate);
    EXPECT_FALSE(createDirectory(path("DIR").c_str()));
    EXPECT_TRUE(createDirectory(path("DIR").c_str()));
    clearFaults();
}

}  // namespace
}  // namespace kervale::platform

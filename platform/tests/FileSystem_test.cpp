#include "FileSystem.h"

#include <gtest/gtest.h>

#include "TempRoot.h"

namespace kervale::platform {
namespace {

// What changes the disk is counted, before it is made; reading and opening what exists are not.
TEST(FileSystemTest, ChangesAreCountedAndReadsAreNot) {
    const testing::TempRoot root;
    const std::uint64_t before = fileChanges();
    File file;
    ASSERT_TRUE(file.open("C:/LOG", OpenMode::truncate));
    ASSERT_TRUE(file.writeAt(0, "x", 1));
    EXPECT_EQ(fileChanges(), before + 2);
    char byte = 0;
    EXPECT_EQ(file.readAt(0, &byte, 1), 1);
    EXPECT_EQ(file.size(), 1);
    ASSERT_TRUE(file.open("C:/LOG", OpenMode::existing));
    file.close();
    EXPECT_TRUE(directoryExists("C:/"));
    EXPECT_EQ(fileChanges(), before + 2);
    EXPECT_TRUE(renameFile("C:/LOG", "C:/OLD"));
    EXPECT_TRUE(removeFile("C:/OLD"));
    EXPECT_TRUE(createDirectory("C:/SUB"));
    EXPECT_EQ(fileChanges(), before + 5);
}

}  // namespace
}  // namespace kervale::platform

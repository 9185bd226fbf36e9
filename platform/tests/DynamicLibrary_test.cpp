#include "DynamicLibrary.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kervale::platform {
namespace {

TEST(DynamicLibrary, FileNameFollowsThePlatformPattern) {
    char name[32];
    libraryFileName("nusquel", name, sizeof name);
    EXPECT_STREQ(name, "libnusquel.so");
}

TEST(DynamicLibrary, FileNameThatDoesNotFitIsEmptyNotCut) {
    char name[8];
    std::memset(name, 'x', sizeof name);
    libraryFileName("nusquel", name, sizeof name);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(loadLibrary(name), nullptr);
}

TEST(DynamicLibrary, LoadsThroughTheLibrarySearchAndResolvesEntries) {
    void* library = loadLibrary("libm.so.6");
    ASSERT_NE(library, nullptr);
    EXPECT_NE(resolveEntry(library, "cos"), nullptr);
    EXPECT_EQ(resolveEntry(library, "noSuchEntryHere"), nullptr);
}

TEST(DynamicLibrary, MissingLibraryOrEntryGivesNull) {
    EXPECT_EQ(loadLibrary("libno-such-library-here.so"), nullptr);
    EXPECT_EQ(loadLibrary(nullptr), nullptr);
    EXPECT_EQ(resolveEntry(nullptr, "cos"), nullptr);
}

}  // namespace
}  // namespace kervale::platform

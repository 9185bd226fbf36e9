#include "DynamicLibrary.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

namespace kervale::platform {
namespace {

std::string fileNameOf(const char* baseName) {
    char name[64];
    libraryFileName(baseName, name, sizeof name);
    return name;
}

TEST(DynamicLibraryTest, FileNamesEndInDll) {
    EXPECT_EQ(fileNameOf("nusquel"), "nusquel.dll");
    char cut[5];
    libraryFileName("nusquel", cut, sizeof cut);
    EXPECT_STREQ(cut, "nusq");
}

TEST(DynamicLibraryTest, LoadsAndResolvesThroughTheLibrarySearch) {
    void* library = loadLibrary(fileNameOf("kvtestlib").c_str());
    ASSERT_NE(library, nullptr);
    void* entry = resolveEntry(library, "kvTestAnswer");
    ASSERT_NE(entry, nullptr);
    int (*answer)(int) = nullptr;
    std::memcpy(&answer, &entry, sizeof answer);
    EXPECT_EQ(answer(0), 42);

    EXPECT_EQ(resolveEntry(library, "kvTestMissing"), nullptr);
    EXPECT_EQ(loadLibrary(fileNameOf("kvmissinglib").c_str()), nullptr);
}

// A library that pins itself stays mapped however often it is released.
TEST(DynamicLibraryTest, APinnedLibraryStaysLoaded) {
    const std::string name = fileNameOf("kvtestlib");
    HMODULE library = ::LoadLibraryA(name.c_str());
    ASSERT_NE(library, nullptr);
    auto pin = reinterpret_cast<void (*)()>(
        reinterpret_cast<void*>(::GetProcAddress(library, "kvTestPin")));
    ASSERT_NE(pin, nullptr);
    pin();
    pin();
    for (int i = 0; i < 8; ++i) ::FreeLibrary(library);  // more than every load in this test program
    EXPECT_NE(::GetModuleHandleA(name.c_str()), nullptr);
}

}  // namespace
}  // namespace kervale::platform

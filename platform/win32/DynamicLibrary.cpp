#include "DynamicLibrary.h"

#include <cstdio>

#include "win32/Win32Api.h"

namespace kervale::platform {

void libraryFileName(const char* baseName, char* out, std::size_t outSize) {
    if (out == nullptr || outSize == 0) return;
    std::snprintf(out, outSize, "%s.dll", baseName != nullptr ? baseName : "");
}

void* loadLibrary(const char* fileName) {
    if (fileName == nullptr) return nullptr;
    return ::LoadLibraryA(fileName);
}

void* resolveEntry(void* library, const char* entryName) {
    if (library == nullptr || entryName == nullptr) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), entryName));
}

}  // namespace kervale::platform

#include "DynamicLibrary.h"

#include <dlfcn.h>

#include <cstdio>

namespace kervale::platform {

void libraryFileName(const char* baseName, char* out, std::size_t outSize) {
    if (out == nullptr || outSize == 0) return;
    const int n = std::snprintf(out, outSize, "lib%s.so", baseName != nullptr ? baseName : "");
    // A cut name could load some other library: hand out nothing instead.
    if (n < 0 || static_cast<std::size_t>(n) >= outSize) out[0] = '\0';
}

void* loadLibrary(const char* fileName) {
    // dlopen takes null or "" for the program itself, which is never the library asked for.
    if (fileName == nullptr || fileName[0] == '\0') return nullptr;
    // RTLD_NOW: a library whose own dependencies cannot be bound fails here, not at some later call.
    return ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* resolveEntry(void* library, const char* entryName) {
    if (library == nullptr || entryName == nullptr) return nullptr;
    return ::dlsym(library, entryName);
}

}  // namespace kervale::platform

// Loading a library at run time and resolving its entries.
#pragma once

#include <cstddef>

namespace kervale::platform {

// The file name of a library called `baseName` on this platform ("nusquel" becomes
// "libnusquel.so" on POSIX and "nusquel.dll" on Win32).
void libraryFileName(const char* baseName, char* out, std::size_t outSize);

// Loads the library through the platform's library search. Null on failure. The library stays
// loaded (no unload is offered: entries handed out must stay callable).
void* loadLibrary(const char* fileName);

// The address of an exported entry, or null.
void* resolveEntry(void* library, const char* entryName);

}  // namespace kervale::platform

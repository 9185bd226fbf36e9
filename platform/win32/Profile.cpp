#include "Profile.h"

#include <algorithm>

#include "win32/Win32Api.h"

namespace kervale::platform {

// A file named without a directory is looked for in the Windows directory by the calls themselves.
std::uint32_t profileString(const char* section, const char* key, const char* defaultValue,
                            char* out, std::uint32_t outSize, const char* file) {
    if (out == nullptr || outSize == 0) return 0;
    const DWORD copied = ::GetPrivateProfileStringA(section, key, defaultValue, out, outSize, file);
    // A list of names ends with two NULs. Wine ends a list cut to the buffer (and an empty one)
    // with a single NUL, and a caller walking the names would read on past it.
    if ((section == nullptr || key == nullptr) && outSize >= 2)
        out[std::min<DWORD>(copied + 1, outSize - 1)] = '\0';
    return copied;
}

std::uint32_t profileInt(const char* section, const char* key, int defaultValue, const char* file) {
    return ::GetPrivateProfileIntA(section, key, defaultValue, file);
}

}  // namespace kervale::platform

#include "MachineRoot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kervale::platform::posix {

namespace {

bool isDirectory(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool makeFolders(const char* path) {
    char buffer[4096];
    const int n = std::snprintf(buffer, sizeof buffer, "%s", path);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return false;
    for (char* p = buffer + 1; *p != '\0'; ++p) {
        if (*p != '/') continue;
        *p = '\0';
        if (::mkdir(buffer, 0700) != 0 && errno != EEXIST) return false;
        *p = '/';
    }
    if (::mkdir(buffer, 0700) != 0 && errno != EEXIST) return false;
    return isDirectory(buffer);
}

bool machineRoot(char* out, std::size_t outSize) {
    int n = -1;
    const char* root = std::getenv("KERVALE_ROOT");
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    if (root != nullptr && root[0] != '\0')
        n = std::snprintf(out, outSize, "%s", root);
    else if (state != nullptr && state[0] != '\0')
        n = std::snprintf(out, outSize, "%s/kervale", state);
    else if (home != nullptr && home[0] != '\0')
        n = std::snprintf(out, outSize, "%s/.local/state/kervale", home);
    if (n <= 0 || static_cast<std::size_t>(n) >= outSize) return false;

    if (out[0] != '/') {  // a relative root is taken from the current directory
        char cwd[2048];
        if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
        char relative[2048];
        std::snprintf(relative, sizeof relative, "%s", out);
        n = std::snprintf(out, outSize, "%s/%s", cwd, relative);
        if (n <= 0 || static_cast<std::size_t>(n) >= outSize) return false;
    }
    while (n > 1 && out[n - 1] == '/') out[--n] = '\0';
    return isDirectory(out) || makeFolders(out);  // one stat in the usual case
}

std::uint64_t rootHash() {
    char root[4096];
    if (!machineRoot(root, sizeof root)) root[0] = '\0';
    std::uint64_t hash = 14695981039346656037ull;
    for (const char* p = root; *p != '\0'; ++p) {
        hash ^= static_cast<unsigned char>(*p);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace kervale::platform::posix

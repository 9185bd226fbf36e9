#include "posix/KernelObjects.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>

#include "posix/MachineRoot.h"

namespace kervale::platform::posix {

namespace {

// The last component of a Windows object name ("\\.\mailslot\Vantex" gives "Vantex"), with
// anything but letters, digits, '-' and '_' replaced, so it is a plain file or socket name.
void plainName(const char* name, char* out, std::size_t outSize) {
    const char* start = name;
    for (const char* p = name; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/') start = p + 1;
    std::size_t n = 0;
    for (const char* p = start; *p != '\0' && n + 1 < outSize; ++p) {
        const char c = *p;
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        out[n++] = plain ? c : '_';
    }
    out[n] = '\0';
}

int flockRetry(int fd, int operation) {
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

int openRetry(const char* path) {
    int fd;
    do {
        fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? -1 : awayFromStdio(fd);
}

}  // namespace

int awayFromStdio(int fd) {
    if (fd < 0 || fd > 2) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

// The folder of the object files and the path of one of them ("" suffix for the object itself).
bool objectPath(const char* name, const char* suffix, char* out, std::size_t outSize) {
    char root[2048];
    if (!machineRoot(root, sizeof root)) return false;
    char folder[2100];
    std::snprintf(folder, sizeof folder, "%s/.kernel", root);
    if (!makeFolders(folder)) return false;
    char plain[128];
    plainName(name, plain, sizeof plain);
    const int n = std::snprintf(out, outSize, "%s/%s%s", folder, plain, suffix);
    return n > 0 && static_cast<std::size_t>(n) < outSize;
}

int openObjectFile(const char* name, std::size_t size) {
    char path[2400];
    char gatePath[2400];
    if (!objectPath(name, "", path, sizeof path) || !objectPath("gate", "", gatePath, sizeof gatePath))
        return -1;
    const int gate = openRetry(gatePath);
    if (gate < 0) return -1;
    const int fd = openRetry(path);
    bool ok = fd >= 0 && flockRetry(gate, LOCK_EX) == 0;
    // Under the gate no other opener can slip in between the test and the holder's lock.
    if (ok) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {  // nobody holds it: a new life
            ok = ::ftruncate(fd, 0) == 0 &&
                 ::ftruncate(fd, static_cast<off_t>(size)) == 0 && flockRetry(fd, LOCK_SH) == 0;
        } else {
            struct stat st {};
            ok = flockRetry(fd, LOCK_SH) == 0 && ::fstat(fd, &st) == 0 &&
                 (static_cast<std::size_t>(st.st_size) >= size ||
                  ::ftruncate(fd, static_cast<off_t>(size)) == 0);
        }
    }
    ::close(gate);  // releases the gate
    if (!ok) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

std::uint32_t* openObjectWord(const char* name, int& fd) {
    fd = openObjectFile(name, sizeof(std::uint32_t));
    if (fd < 0) return nullptr;
    void* word = ::mmap(nullptr, sizeof(std::uint32_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (word != MAP_FAILED) return static_cast<std::uint32_t*>(word);
    ::close(fd);
    fd = -1;
    return nullptr;
}

void unmapObjectWord(std::uint32_t* word) {
    if (word != nullptr) ::munmap(word, sizeof *word);
}

int openLockFile(const char* name) {
    char path[2400];
    return objectPath(name, ".lock", path, sizeof path) ? openRetry(path) : -1;
}

bool abstractName(const char* name, char* out, std::size_t outSize) {
    char plain[64];
    plainName(name, plain, sizeof plain);
    const int n = std::snprintf(out, outSize, "kervale-%016" PRIx64 "-%s", rootHash(), plain);
    return n > 0 && static_cast<std::size_t>(n) < outSize;
}

}  // namespace kervale::platform::posix

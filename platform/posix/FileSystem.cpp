#include "FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "FaultInjection.h"
#include "posix/MachineRoot.h"

namespace kervale::platform {

namespace {

std::atomic<std::uint64_t> changes{0};

bool isDirectory(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// Descriptors 0 to 2 are never used for files: a stray write to stdout must not land in a log.
int robustOpen(const char* path, int flags) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 && fd <= 2) {
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        ::close(fd);
        fd = moved;
    }
    return fd;
}

}  // namespace

std::uint64_t fileChanges() { return changes.load(); }

bool hostPath(const char* systemPath, char* out, std::size_t outSize) {
    if (systemPath == nullptr) return false;
    char drive = 'C';
    const char* rest = systemPath;
    if (systemPath[0] != '\0' && systemPath[1] == ':') {
        drive = systemPath[0];
        rest = systemPath + 2;
        if (!std::isalpha(static_cast<unsigned char>(drive)) || (drive & 0x80) != 0) return false;
        drive = static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
    } else if (systemPath[0] != '/' && systemPath[0] != '\\') {
        return false;  // no drive and not rooted: nothing on the machine to map it to
    }

    char root[2048];
    if (!posix::machineRoot(root, sizeof root)) return false;
    char driveFolder[2100];
    const int d = std::snprintf(driveFolder, sizeof driveFolder, "%s/%c", root, drive);
    if (d <= 0 || static_cast<std::size_t>(d) >= sizeof driveFolder) return false;
    if (drive == 'C') {
        if (!isDirectory(driveFolder) && !posix::makeFolders(driveFolder)) return false;
    } else if (!isDirectory(driveFolder)) {
        return false;
    }

    const char* sep = (rest[0] == '/' || rest[0] == '\\' || rest[0] == '\0') ? "" : "/";
    const int n = std::snprintf(out, outSize, "%s%s%s", driveFolder, sep, rest);
    if (n <= 0 || static_cast<std::size_t>(n) >= outSize) return false;
    for (char* p = out + d; *p != '\0'; ++p)
        if (*p == '\\') *p = '/';
    return true;
}

bool directoryExists(const char* systemPath) {
    char path[4096];
    return hostPath(systemPath, path, sizeof path) && isDirectory(path);
}

bool createDirectory(const char* systemPath) {
    if (faultDue(Fault::directoryCreate)) return false;
    ++changes;
    char path[4096];
    return hostPath(systemPath, path, sizeof path) && posix::makeFolders(path);
}

bool removeFile(const char* systemPath) {
    ++changes;
    char path[4096];
    return hostPath(systemPath, path, sizeof path) && ::unlink(path) == 0;
}

bool renameFile(const char* from, const char* to) {
    if (faultDue(Fault::fileRename)) return false;
    ++changes;
    char source[4096];
    char target[4096];
    return hostPath(from, source, sizeof source) && hostPath(to, target, sizeof target) &&
           ::rename(source, target) == 0;
}

struct File::Impl {
    int fd = -1;
    ~Impl() {
        if (fd >= 0) ::close(fd);
    }
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(File)

bool File::open(const char* systemPath, OpenMode mode) {
    close();
    if (faultDue(Fault::fileOpen)) return false;
    char path[4096];
    if (!hostPath(systemPath, path, sizeof path)) return false;
    if (mode == OpenMode::truncate) ++changes;
    const int flags = mode == OpenMode::existing ? O_RDWR : O_RDWR | O_CREAT | O_TRUNC;
    const int fd = robustOpen(path, flags);
    if (fd < 0) return false;
    impl_ = std::make_unique<Impl>();
    impl_->fd = fd;
    return true;
}

std::int64_t File::size() {
    struct stat st {};
    if (!impl_ || ::fstat(impl_->fd, &st) != 0) return -1;
    return st.st_size;
}

std::int64_t File::readAt(std::int64_t offset, void* buffer, std::size_t size) {
    if (!impl_) return -1;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(impl_->fd, static_cast<char*>(buffer) + done, size - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool File::writeAt(std::int64_t offset, const void* data, std::size_t size) {
    if (!impl_) return false;
    if (faultDue(Fault::fileWrite)) return false;
    ++changes;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(impl_->fd, static_cast<const char*>(data) + done, size - done,
                                   static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void File::close() { impl_.reset(); }

}  // namespace kervale::platform

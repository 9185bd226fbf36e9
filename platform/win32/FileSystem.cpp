#include "FileSystem.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>

#include "FaultInjection.h"
#include "win32/Win32Api.h"

namespace kervale::platform {

namespace {

std::atomic<std::uint64_t> changes{0};

bool isDirectory(const char* path) {
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// A path that names a drive ("D:...") lies on an existing drive; any other path is left to the
// calls that use it.
bool driveExists(const char* path) {
    if (path[0] == '\0' || path[1] != ':') return true;
    if (!std::isalpha(static_cast<unsigned char>(path[0])) || (path[0] & 0x80) != 0) return false;
    const char root[] = {path[0], ':', '\\', '\0'};
    const UINT type = ::GetDriveTypeA(root);
    return type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR;
}

// Transfers at most this much per call: ReadFile and WriteFile count in 32 bits.
constexpr std::size_t kChunk = 1u << 30;

OVERLAPPED at(std::int64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return position;
}

}  // namespace

std::uint64_t fileChanges() { return changes.load(); }

bool hostPath(const char* systemPath, char* out, std::size_t outSize) {
    if (systemPath == nullptr || out == nullptr || !driveExists(systemPath)) return false;
    const int n = std::snprintf(out, outSize, "%s", systemPath);
    return n >= 0 && static_cast<std::size_t>(n) < outSize;
}

bool directoryExists(const char* systemPath) {
    return systemPath != nullptr && isDirectory(systemPath);
}

bool createDirectory(const char* systemPath) {
    if (faultDue(Fault::directoryCreate)) return false;
    ++changes;
    char path[MAX_PATH];
    if (!hostPath(systemPath, path, sizeof path) || path[0] == '\0') return false;
    // Each parent in turn, from the top; those that exist (and the drive's root) refuse quietly.
    for (char* p = path + 1; *p != '\0'; ++p) {
        if (!isSeparator(*p) || isSeparator(p[-1]) || p[-1] == ':') continue;
        const char separator = *p;
        *p = '\0';
        ::CreateDirectoryA(path, nullptr);
        *p = separator;
    }
    ::CreateDirectoryA(path, nullptr);
    return isDirectory(path);
}

bool removeFile(const char* systemPath) {
    ++changes;
    return systemPath != nullptr && ::DeleteFileA(systemPath) != 0;
}

bool renameFile(const char* from, const char* to) {
    if (faultDue(Fault::fileRename)) return false;
    ++changes;
    return from != nullptr && to != nullptr && ::MoveFileA(from, to) != 0;
}

struct File::Impl {
    win32::OwnedHandle handle;
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(File)

// Others may read and write the file while it is open, as with the C runtime's files.
bool File::open(const char* systemPath, OpenMode mode) {
    close();
    if (faultDue(Fault::fileOpen) || systemPath == nullptr) return false;
    if (mode == OpenMode::truncate) ++changes;
    impl_ = win32::holding<Impl>(::CreateFileA(
        systemPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        mode == OpenMode::existing ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return valid();
}

std::int64_t File::size() {
    LARGE_INTEGER size{};
    if (!impl_ || !::GetFileSizeEx(impl_->handle.get(), &size)) return -1;
    return size.QuadPart;
}

std::int64_t File::readAt(std::int64_t offset, void* buffer, std::size_t size) {
    if (!impl_ || offset < 0) return -1;
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED position = at(offset + static_cast<std::int64_t>(done));
        const auto ask = static_cast<DWORD>(std::min(size - done, kChunk));
        DWORD got = 0;
        if (!::ReadFile(impl_->handle.get(), static_cast<char*>(buffer) + done, ask, &got,
                        &position)) {
            if (win32::lastFailure() == win32::Failure::endOfFile) break;
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

bool File::writeAt(std::int64_t offset, const void* data, std::size_t size) {
    if (!impl_ || offset < 0) return false;
    if (faultDue(Fault::fileWrite)) return false;
    ++changes;
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED position = at(offset + static_cast<std::int64_t>(done));
        const auto ask = static_cast<DWORD>(std::min(size - done, kChunk));
        DWORD written = 0;
        if (!::WriteFile(impl_->handle.get(), static_cast<const char*>(data) + done, ask,
                         &written, &position) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

void File::close() { impl_.reset(); }

}  // namespace kervale::platform

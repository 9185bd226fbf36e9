// Files and directories, named by system paths in Windows form ("C:/VANTEX/VANTEX.LOG").
//
// POSIX: the machine root is $KERVALE_ROOT (unset: $XDG_STATE_HOME/kervale, else
// $HOME/.local/state/kervale). Drive X (either case) is the folder $KERVALE_ROOT/X, X upper-cased.
// Drive C always exists (its folder is created when needed); another letter exists only if its
// folder exists; a drive character that is not a letter never exists. A path beginning with "/"
// lies on drive C. Files and folders created here are private to the user.
// Win32: system paths are used as they are.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Handle.h"

namespace kervale::platform {

// Maps a system path to the host's path. False when its drive does not exist or it does not fit.
bool hostPath(const char* systemPath, char* out, std::size_t outSize);

bool directoryExists(const char* systemPath);

// Creates the directory and its missing parents, only where the drive exists.
bool createDirectory(const char* systemPath);

// How many changes to files and directories (writes, truncating opens, renames, removals,
// directory creations) have begun through these functions. Each is counted before it is made, so
// a count that has not moved over a piece of work means that the work changed nothing on disk.
std::uint64_t fileChanges();

bool removeFile(const char* systemPath);                 // false also when it did not exist
bool renameFile(const char* from, const char* to);       // fails when `to` exists on Win32

enum class OpenMode {
    existing,  // read/write an existing file; fails when there is none
    truncate   // read/write, created or emptied
};

// An open file for positioned, unbuffered reads and writes (binary: bytes are stored as given).
class File final {
    KERVALE_PLATFORM_HANDLE(File)

  public:
    bool open(const char* systemPath, OpenMode mode);
    std::int64_t size();                                        // -1 on failure
    std::int64_t readAt(std::int64_t offset, void* buffer, std::size_t size);  // bytes, -1
    bool writeAt(std::int64_t offset, const void* data, std::size_t size);     // all or false
    void close();
};

}  // namespace kervale::platform

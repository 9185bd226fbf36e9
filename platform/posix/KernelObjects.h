// Machine-wide kernel objects on POSIX: where they live and how their lifetime is kept.
//
// Named objects (shared area, mutex, event) are small files in "$KERVALE_ROOT/.kernel", private
// to the user. Every process that holds an object holds a shared flock on its file; the kernel
// drops that lock when the process dies, so the lock tells whether anybody still holds the
// object. Whoever opens a file that nobody holds starts a new life: the content is zero-filled,
// as a Windows object created anew is. Objects without a file (the mail slot) use abstract
// socket names, which the kernel removes by itself; they carry a hash of the root so that
// processes with different roots never meet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kervale::platform::posix {

// Opens the lifetime file of object `name` with at least `size` bytes and takes the holder's
// lock on it. The content is zero-filled when nobody held the object before. Gives a descriptor
// (above 2, close-on-exec) or -1. The object is held until every descriptor that shares this
// open file (dup) is closed.
int openObjectFile(const char* name, std::size_t size);

// Opens object `name` as one shared 32-bit word (zero in a new life) and maps it. Gives the word
// and its descriptor, or null (nothing left open). Unmap with unmapObjectWord.
std::uint32_t* openObjectWord(const char* name, int& fd);
void unmapObjectWord(std::uint32_t* word);

// Opens (creating it) a plain lock file beside object `name`'s file, for locks of its own.
// Gives a descriptor (above 2, close-on-exec) or -1.
int openLockFile(const char* name);

// The abstract socket name (without its leading NUL) of object `name` under this machine root.
// False when it does not fit.
bool abstractName(const char* name, char* out, std::size_t outSize);

// A descriptor above 2 for `fd` (closing `fd` when it had to be moved), or -1.
int awayFromStdio(int fd);

}  // namespace kervale::platform::posix

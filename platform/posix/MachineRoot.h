// The folder that stands for the machine on POSIX, and the per-root naming of kernel objects.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kervale::platform::posix {

// Absolute path of the machine root: $KERVALE_ROOT, else $XDG_STATE_HOME/kervale, else
// $HOME/.local/state/kervale. Created (private to the user) when missing. False when it cannot
// be named or made.
bool machineRoot(char* out, std::size_t outSize);

// 64-bit FNV-1a of the root's absolute path: kernel objects of different roots never meet.
std::uint64_t rootHash();

// Creates a folder and its missing parents, private to the user. True if it exists afterwards.
bool makeFolders(const char* path);

}  // namespace kervale::platform::posix

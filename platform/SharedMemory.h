// A named block of shared memory with the lifetime of a Windows page-file mapping.
#pragma once

#include <cstddef>

#include "Handle.h"

namespace kervale::platform {

// The block exists while any process holds it (an open SharedMemory or a mapped view). A block
// created anew is zero-filled. A process that dies releases what it held, so a later open never
// finds a block that nobody holds. Names are per machine (per KERVALE_ROOT on POSIX).
class SharedMemory final {
    KERVALE_PLATFORM_HANDLE(SharedMemory)

  public:
    // Creates the block, or opens the existing one of that name. False when neither works.
    bool open(const char* name, std::size_t size);

    // Maps a view of the whole block, read/write. Null on failure. A view keeps the block alive
    // until unmapView, even after this object is closed.
    void* mapView();
    void unmapView(void* view);
};

}  // namespace kervale::platform

// Threads of the library's own, and keeping the library's code mapped while one runs.
#pragma once

#include <cstdint>

#include "Handle.h"

namespace kervale::platform {

class Thread final {
    KERVALE_PLATFORM_HANDLE(Thread)

  public:
    // Starts `procedure(argument)` at once with the default stack size. False if it could not.
    bool start(void (*procedure)(void*), void* argument);

    // True once the thread has ended (waits at most timeoutMs). The thread's resources are
    // released when the thread has ended and this object is closed, whichever comes last.
    bool waitFinished(std::uint32_t timeoutMs);
};

// Keeps this library mapped for the rest of the process's life, so that a thread of its own can
// still be running when the library is unloaded. Idempotent.
void pinLibrary();

void sleepMs(std::uint32_t ms);

}  // namespace kervale::platform

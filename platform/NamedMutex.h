// A machine-wide mutex owned by a thread, as a Windows named mutex is.
#pragma once

#include "Handle.h"

namespace kervale::platform {

enum class LockResult {
    owned,      // the caller owns the mutex
    abandoned,  // the caller owns it; its previous owner ended while owning it
    failed      // the caller does not own it
};

// Owned by one thread at a time across every process with the same name (per KERVALE_ROOT on
// POSIX). When the owning process dies the mutex is released and the next lock reports
// `abandoned`. Not recursive.
class NamedMutex final {
    KERVALE_PLATFORM_HANDLE(NamedMutex)

  public:
    bool open(const char* name);  // creates or opens, not owned
    LockResult lock();            // waits without time-out
    void unlock();                // only by the owning thread
};

}  // namespace kervale::platform

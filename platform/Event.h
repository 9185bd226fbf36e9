// Manual-reset events: named (machine-wide) or unnamed (process-local).
#pragma once

#include <cstdint>

#include "Handle.h"

namespace kervale::platform {

enum class WaitResult { signalled, timeout, failed };

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// A manual-reset event: stays signalled until reset. A named event is shared by every process
// that opens the name (per KERVALE_ROOT on POSIX) and exists while any of them holds it; one
// created anew is not signalled.
class Event final {
    KERVALE_PLATFORM_HANDLE(Event)

  public:
    bool openNamed(const char* name);   // opens an existing event, or creates it
    bool createUnnamed();               // process-local, not signalled
    void set();
    void reset();
    WaitResult wait(std::uint32_t timeoutMs);  // 0 tests; kInfinite waits for ever
    bool isSet() { return wait(0) == WaitResult::signalled; }
};

}  // namespace kervale::platform

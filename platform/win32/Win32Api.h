// What the Win32 backend files share: the Windows headers, an owned kernel handle, and the one
// reading of GetLastError() that tells apart the failures the interface reports differently.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>

namespace kervale::platform::win32 {

// A kernel handle closed when its owner goes. Null and INVALID_HANDLE_VALUE both mean none.
class OwnedHandle {
  public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle = nullptr) {
        if (valid()) ::CloseHandle(handle_);
        handle_ = handle;
    }

  private:
    HANDLE handle_ = nullptr;
};

// A backend's Impl (a struct with an OwnedHandle `handle`) holding `handle`; null when the call
// that gave `handle` failed.
template <class Impl>
std::unique_ptr<Impl> holding(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->handle.reset(handle);
    return impl;
}

// The failures of the last call on this thread that the backend answers in their own way.
enum class Failure {
    pending,         // an overlapped operation has started and completes later
    endOfFile,       // a positioned read started at or past the end of the file
    timedOut,        // a mail slot read found no message within the slot's time-out
    bufferTooSmall,  // a mail slot message is longer than the read asked for (Windows keeps it)
    brokenPipe,      // a mail slot read met a zero-length message (Wine's report; it is consumed)
    sharingViolation,  // an open refused because a handle already open does not share the access
    other
};

Failure lastFailure();

}  // namespace kervale::platform::win32

#include "NamedMutex.h"

#include "win32/Win32Api.h"

namespace kervale::platform {

struct NamedMutex::Impl {
    win32::OwnedHandle handle;
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(NamedMutex)

bool NamedMutex::open(const char* name) {
    impl_ = win32::holding<Impl>(::CreateMutexA(nullptr, FALSE, name));
    return valid();
}

LockResult NamedMutex::lock() {
    if (!impl_) return LockResult::failed;
    switch (::WaitForSingleObject(impl_->handle.get(), INFINITE)) {
    case WAIT_OBJECT_0:
        return LockResult::owned;
    case WAIT_ABANDONED:
        return LockResult::abandoned;
    default:
        return LockResult::failed;
    }
}

void NamedMutex::unlock() {
    if (impl_) ::ReleaseMutex(impl_->handle.get());
}

}  // namespace kervale::platform

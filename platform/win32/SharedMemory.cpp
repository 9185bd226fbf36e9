#include "SharedMemory.h"

#include <cstdint>

#include "FaultInjection.h"
#include "win32/Win32Api.h"

namespace kervale::platform {

namespace {

// Windows keeps a named mapping while a view of it remains; Wine ends it with its last handle,
// and the name then opens a new, zero-filled block. So each view holds a handle of its own until
// it is unmapped, which gives the block the same life on both.
struct HeldView {
    void* view;
    HANDLE mapping;
};

// Plain data, never destroyed: a view may be unmapped while the process is being torn down.
constexpr int kHeldViews = 64;
HeldView heldViews[kHeldViews];
SRWLOCK heldLock = SRWLOCK_INIT;

void holdFor(void* view, HANDLE mapping) {
    HANDLE own = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), mapping, ::GetCurrentProcess(), &own, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        return;
    ::AcquireSRWLockExclusive(&heldLock);
    for (HeldView& held : heldViews) {
        if (held.view != nullptr) continue;
        held = HeldView{view, own};
        own = nullptr;
        break;
    }
    ::ReleaseSRWLockExclusive(&heldLock);
    if (own != nullptr) ::CloseHandle(own);  // no room: the view lives as the platform lets it
}

void releaseFor(void* view) {
    HANDLE own = nullptr;
    ::AcquireSRWLockExclusive(&heldLock);
    for (HeldView& held : heldViews) {
        if (held.view != view) continue;
        own = held.mapping;
        held = HeldView{nullptr, nullptr};
        break;
    }
    ::ReleaseSRWLockExclusive(&heldLock);
    if (own != nullptr) ::CloseHandle(own);
}

}  // namespace

struct SharedMemory::Impl {
    win32::OwnedHandle handle;  // the file mapping
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(SharedMemory)

// A mapping backed by the paging file; one created anew is zero-filled. An existing mapping of
// that name is opened instead.
bool SharedMemory::open(const char* name, std::size_t size) {
    const auto wide = static_cast<std::uint64_t>(size);
    impl_ = win32::holding<Impl>(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr,
                                                      PAGE_READWRITE,
                                                      static_cast<DWORD>(wide >> 32),
                                                      static_cast<DWORD>(wide & 0xFFFFFFFFu), name));
    return valid();
}

void* SharedMemory::mapView() {
    if (faultDue(Fault::mapView)) return nullptr;
    if (!impl_) return nullptr;
    void* view = ::MapViewOfFile(impl_->handle.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view != nullptr) holdFor(view, impl_->handle.get());
    return view;
}

void SharedMemory::unmapView(void* view) {
    if (view == nullptr) return;
    ::UnmapViewOfFile(view);
    releaseFor(view);
}

}  // namespace kervale::platform

#include "Event.h"

#include "win32/Win32Api.h"

namespace kervale::platform {

struct Event::Impl {
    win32::OwnedHandle handle;
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(Event)

// The handle is not inheritable: a child process that never uses the event must not keep it
// alive after every process of ours has let it go.
bool Event::openNamed(const char* name) {
    HANDLE event = ::OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
    if (event == nullptr) event = ::CreateEventA(nullptr, TRUE, FALSE, name);
    impl_ = win32::holding<Impl>(event);
    return valid();
}

bool Event::createUnnamed() {
    impl_ = win32::holding<Impl>(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return valid();
}

void Event::set() {
    if (impl_) ::SetEvent(impl_->handle.get());
}

void Event::reset() {
    if (impl_) ::ResetEvent(impl_->handle.get());
}

WaitResult Event::wait(std::uint32_t timeoutMs) {
    if (!impl_) return WaitResult::failed;
    switch (::WaitForSingleObject(impl_->handle.get(), timeoutMs)) {
    case WAIT_OBJECT_0:
        return WaitResult::signalled;
    case WAIT_TIMEOUT:
        return WaitResult::timeout;
    default:
        return WaitResult::failed;
    }
}

}  // namespace kervale::platform

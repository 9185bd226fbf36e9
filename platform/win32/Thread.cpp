#include "Thread.h"

#include <process.h>

#include "FaultInjection.h"
#include "win32/Win32Api.h"

namespace kervale::platform {

struct Thread::Impl {
    win32::OwnedHandle handle;  // the thread; closing it leaves the thread running
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(Thread)

namespace {

struct Start {
    void (*procedure)(void*);
    void* argument;
};

unsigned __stdcall runThread(void* start) {
    const std::unique_ptr<Start> owned(static_cast<Start*>(start));
    owned->procedure(owned->argument);
    return 1;
}

}  // namespace

// Started through the C runtime, which sets up its per-thread state for the new thread.
bool Thread::start(void (*procedure)(void*), void* argument) {
    impl_.reset();
    if (procedure == nullptr || faultDue(Fault::threadStart)) return false;
    auto start = std::make_unique<Start>(Start{procedure, argument});
    const std::uintptr_t thread = ::_beginthreadex(nullptr, 0, &runThread, start.get(), 0, nullptr);
    if (thread == 0) return false;
    start.release();  // the thread owns it now
    impl_ = win32::holding<Impl>(reinterpret_cast<HANDLE>(thread));
    return valid();
}

bool Thread::waitFinished(std::uint32_t timeoutMs) {
    if (!impl_) return true;
    return ::WaitForSingleObject(impl_->handle.get(), timeoutMs) == WAIT_OBJECT_0;
}

void pinLibrary() {
    // Any address inside this module names it; pinning again changes nothing.
    static const char anchor = 0;
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         &anchor, &module);
}

void sleepMs(std::uint32_t ms) { ::Sleep(ms); }

}  // namespace kervale::platform

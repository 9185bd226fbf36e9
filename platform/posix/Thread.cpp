#include "Thread.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>

#include "FaultInjection.h"

namespace kervale::platform {

namespace {

// Shared by the thread and its Thread object; whichever lets go last frees it.
struct Control {
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
};

struct Start {
    void (*procedure)(void*);
    void* argument;
    std::shared_ptr<Control> control;
};

void* trampoline(void* raw) {
    std::unique_ptr<Start> start(static_cast<Start*>(raw));
    start->procedure(start->argument);
    {
        std::lock_guard<std::mutex> guard(start->control->lock);
        start->control->finished = true;
    }
    start->control->ended.notify_all();
    return nullptr;
}

}  // namespace

struct Thread::Impl {
    std::shared_ptr<Control> control;
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(Thread)

bool Thread::start(void (*procedure)(void*), void* argument) {
    impl_.reset();
    if (faultDue(Fault::threadStart)) return false;
    auto control = std::make_shared<Control>();
    auto start = std::make_unique<Start>(Start{procedure, argument, control});
    pthread_t thread;
    if (pthread_create(&thread, nullptr, &trampoline, start.get()) != 0) return false;
    start.release();  // the thread owns it now
    pthread_detach(thread);
    impl_ = std::make_unique<Impl>();
    impl_->control = std::move(control);
    return true;
}

bool Thread::waitFinished(std::uint32_t timeoutMs) {
    if (!impl_) return true;
    Control& control = *impl_->control;
    std::unique_lock<std::mutex> guard(control.lock);
    if (timeoutMs == 0xFFFFFFFFu) {
        control.ended.wait(guard, [&] { return control.finished; });
        return true;
    }
    return control.ended.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                  [&] { return control.finished; });
}

void pinLibrary() {
    static std::once_flag pinned;
    std::call_once(pinned, [] {
        Dl_info self{};
        if (::dladdr(reinterpret_cast<void*>(&pinLibrary), &self) == 0 || self.dli_fname == nullptr)
            return;
        // The handle is dropped on purpose: with RTLD_NODELETE the library is never unmapped.
        ::dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    });
}

void sleepMs(std::uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace kervale::platform

#include "Event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <ctime>

#include "posix/KernelObjects.h"

namespace kervale::platform {

// The event is one word, 1 while signalled, that waiters sleep on with a futex. A named event's
// word lies in the object's shared file (zero, not signalled, when the object is created anew);
// an unnamed one's in process memory.
struct Event::Impl {
    int fd = -1;
    std::uint32_t* word = nullptr;
    std::uint32_t localWord = 0;
    bool shared = false;

    ~Impl() {
        if (shared) posix::unmapObjectWord(word);
        if (fd >= 0) ::close(fd);
    }

    std::atomic_ref<std::uint32_t> state() { return std::atomic_ref<std::uint32_t>(*word); }

    void futex(int operation, std::uint32_t value, const timespec* timeout) {
        ::syscall(SYS_futex, word, shared ? operation : operation | FUTEX_PRIVATE_FLAG, value,
                  timeout, nullptr, 0);
    }
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(Event)

bool Event::openNamed(const char* name) {
    impl_.reset();
    auto impl = std::make_unique<Impl>();
    impl->shared = true;
    impl->word = posix::openObjectWord(name, impl->fd);
    if (impl->word == nullptr) return false;
    impl_ = std::move(impl);
    return true;
}

bool Event::createUnnamed() {
    impl_ = std::make_unique<Impl>();
    impl_->word = &impl_->localWord;
    return true;
}

void Event::set() {
    if (!impl_) return;
    if (impl_->state().exchange(1) == 0) impl_->futex(FUTEX_WAKE, INT_MAX, nullptr);
}

void Event::reset() {
    if (impl_) impl_->state().store(0);
}

WaitResult Event::wait(std::uint32_t timeoutMs) {
    if (!impl_) return WaitResult::failed;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (impl_->state().load() != 0) return WaitResult::signalled;
        if (timeoutMs == 0) return WaitResult::timeout;
        if (timeoutMs == kInfinite) {
            impl_->futex(FUTEX_WAIT, 0, nullptr);
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        if (left.count() <= 0) return WaitResult::timeout;
        const timespec relative{static_cast<time_t>(left.count() / 1000000000),
                                static_cast<long>(left.count() % 1000000000)};
        impl_->futex(FUTEX_WAIT, 0, &relative);
    }
}

}  // namespace kervale::platform

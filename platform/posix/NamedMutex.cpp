#include "NamedMutex.h"

#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "posix/KernelObjects.h"

namespace kervale::platform {

// Across processes the mutex is an exclusive flock on a lock file of its own (the object's file
// carries the holders' shared lock); the kernel drops it when the owning process dies. The object
// file's first word says whether an owner holds it: set after the flock is taken and cleared
// before it is released, so a lock that finds it set knows that the previous owner died while
// owning it. Within the process a robust pthread mutex makes the owner
// one thread (flock belongs to the open file, not to a thread) and reports a thread that ended
// while owning it.
struct NamedMutex::Impl {
    int fd = -1;      // the object's file
    int lockFd = -1;  // the lock file
    std::uint32_t* ownedWord = nullptr;  // in the shared file
    pthread_mutex_t local;
    bool fileLocked = false;  // this process holds the flock; guarded by `local`

    Impl() {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
        pthread_mutex_init(&local, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    ~Impl() {
        posix::unmapObjectWord(ownedWord);
        if (fd >= 0) ::close(fd);
        if (lockFd >= 0) ::close(lockFd);
        pthread_mutex_destroy(&local);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    std::atomic_ref<std::uint32_t> owned() { return std::atomic_ref<std::uint32_t>(*ownedWord); }
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(NamedMutex)

bool NamedMutex::open(const char* name) {
    impl_.reset();
    auto impl = std::make_unique<Impl>();
    impl->ownedWord = posix::openObjectWord(name, impl->fd);
    impl->lockFd = posix::openLockFile(name);
    if (impl->ownedWord == nullptr || impl->lockFd < 0) return false;
    impl_ = std::move(impl);
    return true;
}

LockResult NamedMutex::lock() {
    if (!impl_) return LockResult::failed;
    bool abandoned = false;
    const int rc = pthread_mutex_lock(&impl_->local);
    if (rc == EOWNERDEAD) {
        pthread_mutex_consistent(&impl_->local);
        abandoned = true;
    } else if (rc != 0) {
        return LockResult::failed;
    }
    if (!impl_->fileLocked) {
        int locked;
        do {
            locked = ::flock(impl_->lockFd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            pthread_mutex_unlock(&impl_->local);
            return LockResult::failed;
        }
        impl_->fileLocked = true;
    }
    if (impl_->owned().exchange(1) != 0) abandoned = true;
    return abandoned ? LockResult::abandoned : LockResult::owned;
}

void NamedMutex::unlock() {
    if (!impl_ || !impl_->fileLocked) return;
    impl_->owned().store(0);
    impl_->fileLocked = false;
    ::flock(impl_->lockFd, LOCK_UN);
    pthread_mutex_unlock(&impl_->local);
}

}  // namespace kervale::platform

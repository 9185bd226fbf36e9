#include "SharedMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <fcntl.h>

#include <mutex>

#include "FaultInjection.h"
#include "posix/KernelObjects.h"

namespace kervale::platform {

namespace {

// Each view holds its own descriptor of the block's file (sharing the holder's lock), so the
// block lives on after the SharedMemory object is closed, until the view is unmapped. The table
// is plain data: it must stay usable while the process exits.
struct ViewEntry {
    void* view;
    std::size_t size;
    int fd;
};
constexpr int kMaxViews = 64;
ViewEntry views[kMaxViews];
std::mutex viewsLock;

}  // namespace

struct SharedMemory::Impl {
    int fd = -1;
    std::size_t size = 0;
};

SharedMemory::SharedMemory() = default;
SharedMemory::~SharedMemory() {
    if (impl_) ::close(impl_->fd);
}
SharedMemory::SharedMemory(SharedMemory&&) noexcept = default;
SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
    if (this != &other) {
        if (impl_) ::close(impl_->fd);
        impl_ = std::move(other.impl_);
    }
    return *this;
}

bool SharedMemory::open(const char* name, std::size_t size) {
    if (impl_) {
        ::close(impl_->fd);
        impl_.reset();
    }
    const int fd = posix::openObjectFile(name, size);
    if (fd < 0) return false;
    impl_ = std::make_unique<Impl>();
    impl_->fd = fd;
    impl_->size = size;
    return true;
}

void* SharedMemory::mapView() {
    if (!impl_ || faultDue(Fault::mapView)) return nullptr;
    std::lock_guard<std::mutex> guard(viewsLock);
    ViewEntry* free = nullptr;
    for (ViewEntry& entry : views)
        if (entry.view == nullptr) free = &entry;
    if (free == nullptr) return nullptr;
    const int fd = ::fcntl(impl_->fd, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) return nullptr;
    void* view = ::mmap(nullptr, impl_->size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    *free = ViewEntry{view, impl_->size, fd};
    return view;
}

void SharedMemory::unmapView(void* view) {
    if (view == nullptr) return;
    std::lock_guard<std::mutex> guard(viewsLock);
    for (ViewEntry& entry : views) {
        if (entry.view != view) continue;
        ::munmap(entry.view, entry.size);
        ::close(entry.fd);
        entry = ViewEntry{};
        return;
    }
}

}  // namespace kervale::platform

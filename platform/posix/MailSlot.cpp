#include "MailSlot.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <vector>

#include "FaultInjection.h"
#include "posix/KernelObjects.h"

// The slot is a SOCK_DGRAM unix socket bound to an abstract name: the name admits one owner and
// disappears with it, datagrams keep message boundaries, and SO_PASSCRED tells the sender's user.
// The kernel queues only a few datagrams per socket before senders block, so the server pulls
// every waiting datagram into its own queue whenever it looks at the slot; that also makes the
// count of waiting messages and the size of the next one exact.

namespace kervale::platform {

namespace {

// A datagram is kept up to this size; the rest of a longer one is cut (no writer of the system
// sends more than 296 bytes, and a unix datagram cannot much exceed the sender's buffer anyway).
constexpr std::size_t kKeptBytes = 256 * 1024;
// Beyond this many pulled messages, or bytes, the server leaves the rest in the socket, so that a
// server that cannot keep up slows its senders down instead of growing without bound (the byte
// bound matters only for writers of outsize datagrams).
constexpr std::size_t kMaxQueued = 65536;
constexpr std::size_t kMaxQueuedBytes = 32 * 1024 * 1024;
constexpr int kReceiveBuffer = 4 * 1024 * 1024;

bool socketAddress(const char* name, sockaddr_un& address, socklen_t& length) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    char abstract[sizeof address.sun_path - 1];
    if (!posix::abstractName(name, abstract, sizeof abstract)) return false;
    const std::size_t n = std::strlen(abstract);
    std::memcpy(address.sun_path + 1, abstract, n);  // sun_path[0] stays 0: abstract
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
    return true;
}

// A new datagram socket for the slot of that name, and the slot's address; -1 on failure.
int slotSocket(const char* name, sockaddr_un& address, socklen_t& length) {
    if (!socketAddress(name, address, length)) return -1;
    return posix::awayFromStdio(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
}

struct Message {
    std::uint32_t size;  // as sent
    std::vector<char> bytes;
};

}  // namespace

struct MailSlotServer::Impl {
    int fd = -1;
    uid_t user = ::geteuid();
    std::deque<Message> queue;
    std::size_t queuedBytes = 0;
    std::vector<char> scratch = std::vector<char>(kKeptBytes);

    ~Impl() {
        if (fd >= 0) ::close(fd);
    }

    // Moves every datagram waiting in the socket into the queue. Messages of other users are
    // dropped here.
    void pull() {
        while (queue.size() < kMaxQueued && queuedBytes < kMaxQueuedBytes) {
            iovec io{scratch.data(), scratch.size()};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
            msghdr header{};
            header.msg_iov = &io;
            header.msg_iovlen = 1;
            header.msg_control = control;
            header.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(fd, &header, MSG_DONTWAIT | MSG_TRUNC);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return;
            const cmsghdr* c = CMSG_FIRSTHDR(&header);
            if (c == nullptr || c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_CREDENTIALS)
                continue;
            ucred sender{};
            std::memcpy(&sender, CMSG_DATA(c), sizeof sender);
            if (sender.uid != user) continue;
            const std::size_t kept = static_cast<std::size_t>(n) < scratch.size()
                                         ? static_cast<std::size_t>(n)
                                         : scratch.size();
            queuedBytes += kept;
            queue.push_back(Message{static_cast<std::uint32_t>(n),
                                    std::vector<char>(scratch.begin(),
                                                      scratch.begin() + static_cast<std::ptrdiff_t>(kept))});
        }
    }
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(MailSlotServer)

bool MailSlotServer::create(const char* name) {
    impl_.reset();
    if (faultDue(Fault::mailSlotCreate)) return false;
    sockaddr_un address;
    socklen_t length;
    auto impl = std::make_unique<Impl>();
    impl->fd = slotSocket(name, address, length);
    if (impl->fd < 0) return false;
    const int on = 1;
    if (::setsockopt(impl->fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) return false;
    ::setsockopt(impl->fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    if (::bind(impl->fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) return false;
    impl_ = std::move(impl);
    return true;
}

bool MailSlotServer::info(std::uint32_t& count, std::uint32_t& nextSize) {
    count = 0;
    nextSize = 0;
    if (!impl_) return false;
    impl_->pull();
    count = static_cast<std::uint32_t>(impl_->queue.size());
    if (count != 0) nextSize = impl_->queue.front().size;
    return true;
}

std::int32_t MailSlotServer::read(void* buffer, std::uint32_t size) {
    if (!impl_) return -1;
    impl_->pull();  // keeps the socket's own short queue free for the senders
    if (impl_->queue.empty()) return -1;
    const Message& message = impl_->queue.front();
    const std::size_t n = message.bytes.size() < size ? message.bytes.size() : size;
    if (n != 0) std::memcpy(buffer, message.bytes.data(), n);
    impl_->queuedBytes -= message.bytes.size();
    impl_->queue.pop_front();
    return static_cast<std::int32_t>(n);
}

void MailSlotServer::waitForMessage(std::uint32_t timeoutMs) {
    if (!impl_ || !impl_->queue.empty()) return;
    pollfd waiting{impl_->fd, POLLIN, 0};
    ::poll(&waiting, 1, timeoutMs > 0x7FFFFFFFu ? -1 : static_cast<int>(timeoutMs));
}

void MailSlotServer::seal() {
    // A datagram sender checks the receiver's shutdown flag under the same lock that queues its
    // datagram, so after this every send fails (EPIPE) and every earlier one is in the queue.
    if (impl_) ::shutdown(impl_->fd, SHUT_RD);
}

void MailSlotServer::close() { impl_.reset(); }

struct MailSlotClient::Impl {
    int fd = -1;
    ~Impl() {
        if (fd >= 0) ::close(fd);
    }
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(MailSlotClient)

bool MailSlotClient::open(const char* name) {
    impl_.reset();
    sockaddr_un address;
    socklen_t length;
    auto impl = std::make_unique<Impl>();
    impl->fd = slotSocket(name, address, length);
    if (impl->fd < 0) return false;
    int rc;
    do {
        rc = ::connect(impl->fd, reinterpret_cast<const sockaddr*>(&address), length);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return false;
    impl_ = std::move(impl);
    return true;
}

bool MailSlotClient::write(const void* data, std::uint32_t size) {
    if (!impl_) return false;
    ssize_t n;
    do {
        n = ::send(impl_->fd, data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(size);
}

void MailSlotClient::close() { impl_.reset(); }

bool sendToMailSlot(const char* name, const void* data, std::uint32_t size) {
    MailSlotClient client;
    return client.open(name) && client.write(data, size);
}

}  // namespace kervale::platform

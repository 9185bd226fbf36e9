#include "MailSlot.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "FaultInjection.h"
#include "win32/Win32Api.h"

namespace kervale::platform {

namespace {

using Message = std::vector<char>;

// At most this many messages are taken from the slot per call, so that writers faster than the
// server cannot hold it in one call for ever; the rest waits for the next call.
constexpr int kTakeLimit = 4096;

// A blocking wait reads into storage of this size. Longer messages are left to takeWaiting on
// Windows (the read fails and keeps them); Wine delivers no more than this of any message.
constexpr DWORD kWaitReadSize = 64 * 1024;

// A writer waits at most this long for its message to be taken. Windows takes a message at once;
// Wine makes a writer wait while about 200 KB lie unread in the slot, and for ever when the
// server that would read them has gone.
constexpr DWORD kWriteBoundMs = 2000;

// A server that seals its slot waits at most this long for the writers that hold it open.
constexpr DWORD kSealBoundMs = 1000;

// Writers share the slot for writing: a writer that does not allow it is refused with a sharing
// violation while another writer holds the slot open, and its message is lost. The handle is
// overlapped so that a write can be given up after kWriteBoundMs.
HANDLE openForWriting(const char* name) {
    return ::CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
}

bool writeWhole(HANDLE slot, const void* data, std::uint32_t size) {
    const win32::OwnedHandle done(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done.valid()) return false;
    OVERLAPPED write{};
    write.hEvent = done.get();
    if (!::WriteFile(slot, data, size, nullptr, &write)) {
        if (win32::lastFailure() != win32::Failure::pending) return false;
        if (::WaitForSingleObject(done.get(), kWriteBoundMs) != WAIT_OBJECT_0)
            ::CancelIoEx(slot, &write);  // a cancelled message is not delivered
    }
    DWORD written = 0;
    return ::GetOverlappedResult(slot, &write, &written, TRUE) && written == size;
}

}  // namespace

// ---- server ----------------------------------------------------------------------------------

// Windows counts the waiting messages exactly, but Wine's GetMailslotInfo tells only whether one
// waits, and counts a zero-length message as none. So the server moves what waits in the slot
// into its own queue and counts that; of the slot it asks only whether a message waits and how
// long it is, which both report alike (MAILSLOT_NO_MESSAGE when none).
struct MailSlotServer::Impl {
    win32::OwnedHandle handle;
    std::string name;
    win32::OwnedHandle seal;      // the server's own write handle that shares no writing
    std::deque<Message> waiting;  // oldest first
    Message scratch;              // storage of the blocking wait's read

    // The slot goes before the seal: on Wine a write handle keeps a closed slot open to writers,
    // and the seal keeps them out until the slot has gone.
    ~Impl() { handle.reset(); }

    enum class Take { taken, again, none, failed };
    Take takeOne();
    bool takeWaiting();
};

MailSlotServer::Impl::Take MailSlotServer::Impl::takeOne() {
    DWORD nextSize = 0;
    if (!::GetMailslotInfo(handle.get(), nullptr, &nextSize, nullptr, nullptr)) return Take::failed;
    if (nextSize == MAILSLOT_NO_MESSAGE) return Take::none;

    // The whole message is read, whatever the caller's buffer: a message left in the slot would
    // be met again at every pass. A zero-length one is read with room for a byte, because Wine
    // leaves it in the slot when asked for no bytes.
    Message message(std::max<DWORD>(nextSize, 1));
    DWORD got = 0;
    if (::ReadFile(handle.get(), message.data(), static_cast<DWORD>(message.size()), &got,
                   nullptr)) {
        message.resize(got);
        waiting.push_back(std::move(message));
        return Take::taken;
    }
    switch (win32::lastFailure()) {
    case win32::Failure::brokenPipe:
        // Wine reports a zero-length message so, having consumed it.
        if (nextSize != 0) return Take::failed;
        waiting.emplace_back();
        return Take::taken;
    case win32::Failure::timedOut:
        return Take::none;
    case win32::Failure::bufferTooSmall:
        return Take::again;  // still waiting; its size is asked again
    default:
        return Take::failed;
    }
}

bool MailSlotServer::Impl::takeWaiting() {
    for (int i = 0; i < kTakeLimit; ++i) {
        switch (takeOne()) {
        case Take::taken:
        case Take::again:
            continue;
        case Take::none:
            return true;
        case Take::failed:
            return false;
        }
    }
    return true;
}

KERVALE_PLATFORM_HANDLE_DEFAULTS(MailSlotServer)

// Any message size, read time-out 0: a read of an empty slot comes back at once. The name has one
// owner: creating it fails while another server holds it.
bool MailSlotServer::create(const char* name) {
    impl_.reset();
    if (faultDue(Fault::mailSlotCreate) || name == nullptr) return false;
    impl_ = win32::holding<Impl>(::CreateMailslotA(name, 0, 0, nullptr));
    if (impl_) impl_->name = name;
    return valid();
}

bool MailSlotServer::info(std::uint32_t& count, std::uint32_t& nextSize) {
    count = 0;
    nextSize = 0;
    if (!impl_) return false;
    if (!impl_->takeWaiting() && impl_->waiting.empty()) return false;
    count = static_cast<std::uint32_t>(impl_->waiting.size());
    if (count > 0) nextSize = static_cast<std::uint32_t>(impl_->waiting.front().size());
    return true;
}

std::int32_t MailSlotServer::read(void* buffer, std::uint32_t size) {
    if (!impl_) return -1;
    if (impl_->waiting.empty()) impl_->takeWaiting();
    if (impl_->waiting.empty()) return -1;
    const Message& oldest = impl_->waiting.front();
    const std::size_t copied = std::min<std::size_t>(size, oldest.size());
    if (copied > 0) std::memcpy(buffer, oldest.data(), copied);
    impl_->waiting.pop_front();
    return static_cast<std::int32_t>(copied);
}

// Blocks in a read with the slot's time-out raised to timeoutMs for the wait, then lowered back
// to 0 for the server's own reads.
void MailSlotServer::waitForMessage(std::uint32_t timeoutMs) {
    if (!impl_ || !impl_->waiting.empty()) return;
    if (!impl_->takeWaiting() || !impl_->waiting.empty() || timeoutMs == 0) return;
    HANDLE slot = impl_->handle.get();
    if (!::SetMailslotInfo(slot, timeoutMs)) return;
    impl_->scratch.resize(kWaitReadSize);
    DWORD got = 0;
    const BOOL read = ::ReadFile(slot, impl_->scratch.data(), kWaitReadSize, &got, nullptr);
    const win32::Failure failure = read ? win32::Failure::other : win32::lastFailure();
    ::SetMailslotInfo(slot, 0);
    if (read)
        impl_->waiting.emplace_back(impl_->scratch.data(), impl_->scratch.data() + got);
    else if (failure == win32::Failure::brokenPipe)
        impl_->waiting.emplace_back();  // Wine's report of a zero-length message, consumed
    // Timed out: nothing came. Buffer too small (Windows): a longer message waits in the slot.
}

// Windows mail slots cannot refuse a writer, but the open of a writer is refused (sharing
// violation) while another handle holds the slot for writing without sharing it. So the server
// takes such a handle itself. Once it has it, every writer that had the slot open has written
// and closed it, so its message waits here, and every later open fails at its sender, which then
// looks again under "MutexLog" and finds the next server. While writers hold the slot the open
// fails; the server takes what waits (a writer may be waiting for room) and tries again.
//
// The attempts are bounded, since a foreign writer may hold the slot open for ever, and a system
// that does not check sharing on slots lets writers in regardless (Wine checks it). Then only the
// final drain covers the stop: a message that a writer puts in the slot after the server has last
// found it empty, and before close() a moment later, is lost with the slot.
void MailSlotServer::seal() {
    if (!impl_ || impl_->seal.valid()) return;
    const DWORD start = ::GetTickCount();
    for (;;) {
        impl_->seal.reset(::CreateFileA(impl_->name.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (impl_->seal.valid()) return;
        if (win32::lastFailure() != win32::Failure::sharingViolation ||
            ::GetTickCount() - start > kSealBoundMs)
            return;
        impl_->takeWaiting();
        ::Sleep(1);
    }
}

void MailSlotServer::close() { impl_.reset(); }

// ---- client ----------------------------------------------------------------------------------

// The slot is opened for each message, not held between messages. A writer's handle keeps a
// closed slot alive on Wine: writes to it succeed with nobody reading, and no new server can take
// the name until the handle is closed. Opened per message, a write fails as soon as the server
// has gone, and a new server can always take the name, on Windows and Wine alike.
struct MailSlotClient::Impl {
    std::string name;
};

KERVALE_PLATFORM_HANDLE_DEFAULTS(MailSlotClient)

bool MailSlotClient::open(const char* name) {
    impl_.reset();
    if (name == nullptr) return false;
    const win32::OwnedHandle slot(openForWriting(name));
    if (!slot.valid()) return false;
    impl_ = std::make_unique<Impl>();
    impl_->name = name;
    return true;
}

bool MailSlotClient::write(const void* data, std::uint32_t size) {
    return impl_ && sendToMailSlot(impl_->name.c_str(), data, size);
}

void MailSlotClient::close() { impl_.reset(); }

bool sendToMailSlot(const char* name, const void* data, std::uint32_t size) {
    if (name == nullptr || (data == nullptr && size > 0)) return false;
    const win32::OwnedHandle slot(openForWriting(name));
    return slot.valid() && writeWhole(slot.get(), data, size);
}

}  // namespace kervale::platform

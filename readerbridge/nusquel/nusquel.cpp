// nusquel: a simulator of the reader driver, so that the bridge and its Java callers run without
// a device. Its behaviour (pattern, results) is described in readerbridge/README.md. It keeps no
// buffer address beyond a call: a collect fills the buffer it is handed, there and then.
#include <cstdint>
#include <mutex>
#include <type_traits>

#include "NusquelEntries.h"
#include "nusquel_export.h"

namespace {

constexpr std::int32_t kMaxLength = 65536;

// Results: a read returns the count of bytes it wrote; these report a failure.
constexpr std::int32_t kNoReadPending = -1;
constexpr std::int32_t kBadLength = -2;
constexpr std::int32_t kBusy = -3;
constexpr std::int32_t kCancelled = -4;
constexpr std::int32_t kNullAddress = -5;

// The one asynchronous read of the device.
enum class ReadState { idle, started, cancelled };
struct PendingRead {
    ReadState state = ReadState::idle;
    std::int32_t port = 0;
    std::int32_t length = 0;
};

std::mutex pendingMutex;
PendingRead pending;

// Byte i of a read on `port` is (port * 7 + i) mod 256.
void fillPattern(std::int32_t port, std::int32_t length, unsigned char* buffer) {
    const auto base = static_cast<std::uint32_t>(port) * 7u;
    for (std::int32_t i = 0; i < length; ++i) {
        buffer[i] = static_cast<unsigned char>(base + static_cast<std::uint32_t>(i));
    }
}

bool validLength(std::int32_t length) { return length >= 0 && length <= kMaxLength; }

}  // namespace

extern "C" {

NUSQUEL_EXPORT std::int32_t NUSQUEL_CALL WinStartLeAssincronoDq4Hn(std::int32_t port,
                                                                   std::int32_t* length) {
    if (length == nullptr) return kNullAddress;
    if (!validLength(*length)) return kBadLength;
    const std::lock_guard lock(pendingMutex);
    if (pending.state == ReadState::started) return kBusy;
    pending = {ReadState::started, port, *length};
    return 0;
}

NUSQUEL_EXPORT std::int32_t NUSQUEL_CALL WinCancelaLeituraDq4Hn() {
    const std::lock_guard lock(pendingMutex);
    if (pending.state != ReadState::started) return kNoReadPending;
    pending.state = ReadState::cancelled;
    return 0;
}

NUSQUEL_EXPORT std::int32_t NUSQUEL_CALL WinLeAssincronoDq4Hn(std::int32_t* port,
                                                              unsigned char* buffer) {
    if (port == nullptr || buffer == nullptr) return kNullAddress;
    const std::lock_guard lock(pendingMutex);
    if (pending.state == ReadState::cancelled) {
        pending.state = ReadState::idle;  // the cancel is reported once
        return kCancelled;
    }
    if (pending.state != ReadState::started || pending.port != *port) return kNoReadPending;
    fillPattern(pending.port, pending.length, buffer);
    pending.state = ReadState::idle;
    return pending.length;
}

NUSQUEL_EXPORT std::int32_t NUSQUEL_CALL WinLeSincronoDq4Hn(std::int32_t port, std::int32_t* length,
                                                            unsigned char* buffer) {
    if (length == nullptr || buffer == nullptr) return kNullAddress;
    if (!validLength(*length)) return kBadLength;
    fillPattern(port, *length, buffer);
    return *length;
}

}  // extern "C"

// The exports must be callable through the bridge's entry types.
static_assert(std::is_same_v<decltype(&WinStartLeAssincronoDq4Hn), tarvinel::StartRead>);
static_assert(std::is_same_v<decltype(&WinCancelaLeituraDq4Hn), tarvinel::CancelRead>);
static_assert(std::is_same_v<decltype(&WinLeAssincronoDq4Hn), tarvinel::CollectRead>);
static_assert(std::is_same_v<decltype(&WinLeSincronoDq4Hn), tarvinel::SyncRead>);

// The mail slot: a named, machine-wide datagram channel with one reader (the server) and any
// number of writers. One write is one message; messages are read whole, oldest first.
#pragma once

#include <cstdint>

#include "Handle.h"

namespace kervale::platform {

// Server side. Only one MailSlotServer of a name can exist on the machine at a time (per
// KERVALE_ROOT on POSIX): create fails while another owns the name. A process that dies
// releases the name.
class MailSlotServer final {
    KERVALE_PLATFORM_HANDLE(MailSlotServer)

  public:
    bool create(const char* name);

    // Number of messages waiting and the size of the oldest (0 when none). Exact at the moment
    // of the call. False when the slot cannot be asked.
    bool info(std::uint32_t& count, std::uint32_t& nextSize);

    // Removes the oldest message and copies up to `size` bytes of it into `buffer`; the rest of a
    // longer message is discarded. Gives the number of bytes copied (0 for an empty message), or
    // -1 when no message is waiting or the read failed. Never writes past buffer + size.
    std::int32_t read(void* buffer, std::uint32_t size);

    // Returns as soon as a message is waiting, or after timeoutMs.
    void waitForMessage(std::uint32_t timeoutMs);

    // Refuses new messages from now on: every later write fails at its sender, while the
    // messages already waiting can still be read. A stopping server seals its slot before its
    // last drain, so that a message is either read or refused to its sender, never dropped.
    // Win32: writers are kept out by holding the slot for writing without sharing it; the seal
    // waits (bounded) for the writers that have it open, and takes what they send meanwhile.
    void seal();

    void close();
};

// Client side, kept open across sends. open fails when no server owns the slot; write sends one
// whole message and fails when it could not be handed over whole (for instance because the server
// that owned the slot has gone since open).
class MailSlotClient final {
    KERVALE_PLATFORM_HANDLE(MailSlotClient)

  public:
    bool open(const char* name);
    bool write(const void* data, std::uint32_t size);
    void close();
};

// Client side, one shot: sends one message to the slot of that name. False when no server owns the slot
// or the message could not be handed over whole. Only processes of the server's user may send
// (on POSIX); others' messages are dropped by the server.
bool sendToMailSlot(const char* name, const void* data, std::uint32_t size);

}  // namespace kervale::platform

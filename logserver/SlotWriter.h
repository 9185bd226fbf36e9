// The client's way to the mail slot: one connection per process, kept open across calls and
// shared by its threads, so that a call costs one write.
#pragma once

#include <cstdint>
#include <shared_mutex>

#include "MailSlot.h"

namespace kervale {

class SlotWriter {
  public:
    explicit SlotWriter(const char* slotName) : slotName_(slotName) {}

    // Writes one message through the kept connection, opening it first when there is none and
    // opening it again once when the write fails (a new server may own the slot now). False
    // when no server took the message.
    bool send(const void* data, std::uint32_t size);

    // Drops the kept connection and opens a new one: true when a server owns the slot now.
    bool reconnect();

  private:
    const char* slotName_;
    std::shared_mutex lock_;  // shared for writes, exclusive to replace the connection
    platform::MailSlotClient client_;
};

}  // namespace kervale

// What one process that has the library loaded keeps: the handles of the machine-wide objects,
// its own stop event, and, while it hosts the server, the server thread and its state.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "Event.h"
#include "LogMessage.h"
#include "MailSlot.h"
#include "NamedMutex.h"
#include "ServerState.h"
#include "SharedMemory.h"
#include "SlotWriter.h"
#include "Thread.h"

namespace kervale {

inline constexpr char kAreaName[] = "LogVarGlobal";
inline constexpr char kMutexName[] = "MutexLog";
inline constexpr char kServerEventName[] = "EventServLog";
inline constexpr char kSlotName[] = "\\\\.\\mailslot\\Vantex";

inline constexpr std::size_t kReceiveBufferSize = 1600;

struct LibraryHandles {
    platform::SharedMemory area;         // "LogVarGlobal"
    platform::NamedMutex mutex;          // "MutexLog": the test for a server and its start
    platform::Event serverRunning;       // "EventServLog": set while a server owns the slot
    platform::Event serverStopped;       // this process's stop event: set as its server ends
    SlotWriter writer{kSlotName};        // this process's way to the slot, kept open

    // Host side. `hosting` and `serverThread` change only under "MutexLog" and at detach.
    std::int16_t hosting = 0;
    platform::Thread serverThread;
    std::atomic<bool> stopRequested{false};  // detach asks this process's server to stop
    // The server thread's own, kept here rather than on its stack, so that a detach can take
    // its last steps when the platform has ended the thread before them.
    platform::MailSlotServer slot;
    ServerState server;                      // the area view and the log
    alignas(LogMessage) unsigned char receiveBuffer[kReceiveBufferSize];
    // While a message is handled: the area and the count of file changes from before it, so
    // that it can be handled again if the thread is ended before anything reached the disk.
    std::atomic<bool> handling{false};
    SharedArea areaBefore{};
    std::uint64_t fileChangesBefore = 0;
};

}  // namespace kervale

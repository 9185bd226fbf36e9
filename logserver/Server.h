// The server thread: receives the messages from the mail slot and hands each to the pipeline.
//
// Protocol between servers and clients (every process follows it, so it holds machine-wide):
//  - A server is running exactly while it owns the slot. "EventServLog" says so to clients: a
//    client that finds it set writes straight to the slot without taking "MutexLog".
//  - A server is started only by a caller that owns "MutexLog" and has found the slot
//    unreachable; it waits, still owning the mutex, until the new thread has created the slot,
//    mapped the area and set the event, or has given up.
//  - A server ends its life while it owns "MutexLog": it seals the slot (from then on every write
//    fails at its sender), handles every message still waiting, closes the slot, unmaps the area
//    and resets the event, and only then releases the mutex.
// So whoever owns "MutexLog" finds the slot reachable exactly when a live server runs, whatever
// the event says: an event left set by a killed host, or cleared under a running server, is
// corrected under the mutex (see ClientEntry). A write either reaches a server that will handle
// it or fails at the client, which then looks again under the mutex, starting a server if
// needed; no message is dropped by a stopping server.
#pragma once

#include "LibraryHandles.h"

namespace kervale {

// Bounds of the waits on a server thread.
inline constexpr std::uint32_t kServerStartWaitMs = 5000;
inline constexpr std::uint32_t kServerEndWaitMs = 5000;

// Starts this process's server thread and waits until it runs or has given up. The caller owns
// "MutexLog" and has found the slot unreachable and "EventServLog" reset. True when it runs.
bool startServer(LibraryHandles& library);

// The last steps of this process's server (see above), taken in the calling thread for a server
// thread that the system has ended before them: the messages waiting in the slot are handled.
// Does nothing when the thread had taken them itself, or never owned the slot.
void finishServer(LibraryHandles& library);

}  // namespace kervale

// The library's face to its process: attach and detach, run when the library is loaded and
// unloaded (the platform's entry glue calls them), and the client call GravaLog (kervale.h).
#pragma once

namespace kervale {

// Creates or opens "LogVarGlobal", "MutexLog" and "EventServLog" and this process's stop event.
// Starts nothing. Calling it again while attached does nothing.
void attach();

// What the platform's entry glue knows of the process's other threads when it detaches.
enum class OtherThreads {
    canEnd,     // they run, and one can run to its end while detach waits (POSIX unload, exit)
    cannotEnd,  // they run, but none can end before detach returns (Windows unload: the end of
                // a thread needs the loader lock, which the unload holds)
    ended       // the system has ended them, wherever they were (Windows process exit)
};

// If this process hosts the server, asks it to stop and waits (bounded) until it has handled
// every waiting message and ended; when the system has ended the server thread already, detach
// takes its last steps itself, handling what waits in the slot. A server hosted by another
// process is never touched. Then closes the handles. Calls of GravaLog made afterwards return 1
// and deliver nothing.
void detach(OtherThreads others);

}  // namespace kervale
